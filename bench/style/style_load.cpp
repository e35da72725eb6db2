// The framework's own load of style files, as a dialog opening does it: each host file named on the
// command line is read and parsed by CFhStyleFile::LoadStyleFile, and its style count printed. run.sh
// times this program against `packtool check` of the same files.
#include "tools/common/ToolSupport.h"
#include "wceui/style/FhStyleFile.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: style_load FILE.style.xml...\n");
        return 2;
    }
    tooling::UseHostFileSystem();
    int failed = 0;
    for (int i = 1; i < argc; ++i) {
        CFhStyleFile file;
        const std::u16string device = tooling::DevicePath(argv[i]);
        if (device.empty() || !file.LoadStyleFile(device.c_str())) {
            fprintf(stderr, "FAIL %s\n", argv[i]);
            ++failed;
            continue;
        }
        printf("%s: %d styles\n", argv[i], file.GetStyleCount());
    }
    return 0 == failed ? 0 : 1;
}
