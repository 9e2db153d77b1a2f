// A stand-in for a program the launcher starts, on Windows where a script cannot be one: writes
// "new N" (N its number of arguments) into started.txt beside itself, and ends.
#include <windows.h>

#include <filesystem>
#include <fstream>

int main(int argc, char **)
{
    wchar_t self[MAX_PATH];
    const std::filesystem::path path(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
    std::ofstream(path.parent_path() / "started.txt", std::ios::binary) << "new " << argc - 1 << "\n";
}
