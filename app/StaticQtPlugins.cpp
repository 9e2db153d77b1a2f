// Built only against a static Qt, which loads no plugin at run time: the platforms this program shows
// its windows on are linked in and registered here.
#include <QtPlugin>

Q_IMPORT_PLUGIN(QWindowsIntegrationPlugin)
Q_IMPORT_PLUGIN(QOffscreenIntegrationPlugin)
