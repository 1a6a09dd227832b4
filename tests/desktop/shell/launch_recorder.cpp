// Stands in for every program the launch tests start: appends its working folder and its
// argument vector to the file named by TK_RECORD_FILE and exits. Each element is written with
// its length, so names holding newlines or any other byte come back exactly.
#include <cstdlib>
#include <fcntl.h>
#include <limits.h>
#include <string>
#include <unistd.h>

namespace {

void Append(std::string& out, const std::string& element) {
    out += std::to_string(element.size());
    out += ':';
    out += element;
    out += '\n';
}

}  // namespace

int main(int argc, char** argv) {
    const char* file = std::getenv("TK_RECORD_FILE");
    if (file == nullptr) return 2;
    char cwd[PATH_MAX] = {};
    if (::getcwd(cwd, sizeof cwd) == nullptr) cwd[0] = '\0';

    std::string record = "record " + std::to_string(argc) + "\n";
    Append(record, cwd);
    for (int i = 0; i < argc; ++i) Append(record, argv[i]);

    // One write to a file opened for appending: records of programs started together
    // never interleave.
    const int fd = ::open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return 3;
    const bool ok =
        ::write(fd, record.data(), record.size()) == static_cast<ssize_t>(record.size());
    ::close(fd);
    return ok ? 0 : 4;
}
