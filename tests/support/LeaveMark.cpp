// A stand-in for a program the launcher starts, on Windows where a script cannot be one: writes
// "new N" (N its number of arguments) into started.txt beside itself, and ends.
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

int main(int argc, char **)
{
    wchar_t self[MAX_PATH];
    std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
    path.erase(path.find_last_of(L'\\') + 1);
    std::ofstream(std::filesystem::path(path + L"started.txt"), std::ios::binary)
        << "new " << argc - 1 << "\n";
    return 0;
}
