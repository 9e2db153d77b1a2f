#pragma once

// From now on the program's debug lines are formatted as usual but not printed, as the tools it is
// compared with run with their output off; warnings and errors still reach standard error.
void discardDebugLines();
