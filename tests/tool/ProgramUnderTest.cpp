#include "ProgramUnderTest.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace korvo::test {

namespace {
std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}
} // namespace

ProgramUnderTest::ProgramUnderTest(const std::string& nativeProgram)
    : file(Env("KORVOPROG_UNDER_TEST")), wineRun(Env("KORVO_WINE_RUN")),
      prefix(Env("KORVO_WINE_PREFIX")), arch(Env("KORVO_WINE_ARCH")) {
    if (file.empty()) {
        file = nativeProgram;
        wineRun.clear();
    }
}

std::string ProgramUnderTest::FileName() const {
    return std::filesystem::path(file).filename().string();
}

// Wine shows the Linux root as drive Z:.
std::string ProgramUnderTest::WindowsPath(const std::string& path) const {
    std::string windows = "Z:" + path;
    for (char& c : windows)
        if (c == '/') c = '\\';
    return windows;
}

std::string ProgramUnderTest::ShownPath(const std::string& path) const {
    return UnderWine() ? WindowsPath(path) : path;
}

ProgramResult ProgramUnderTest::Run(const std::string& path,
                                    const std::vector<std::string>& arguments,
                                    const std::string& workDir,
                                    const std::vector<std::string>& environment) const {
    if (!UnderWine()) return RunProgram(file, path, arguments, workDir, environment);

    // The first use of a prefix creates it, which takes longer than a run may.
    static const bool prefixReady =
        RunProgram(wineRun, wineRun, {prefix, arch}, "", {}, 300000).exitCode == 0;
    if (!prefixReady) return ProgramResult{};
    std::vector<std::string> wineArguments = {prefix, arch, path};
    for (const std::string& a : arguments)
        wineArguments.push_back(!a.empty() && a[0] == '/' ? WindowsPath(a) : a);
    ProgramResult r = RunProgram(wineRun, wineRun, wineArguments, workDir, environment);
    std::string lines;
    for (size_t i = 0; i < r.output.size(); ++i) {
        if (r.output[i] == '\n' && (i == 0 || r.output[i - 1] != '\r')) return r;
        if (r.output[i] == '\r' && i + 1 < r.output.size() && r.output[i + 1] == '\n') continue;
        lines += r.output[i];
    }
    r.output = lines;
    return r;
}

void ProgramUnderTest::LinkPort(int n, const std::string& target) const {
    if (!UnderWine()) return;
    std::filesystem::path link =
        std::filesystem::path(prefix) / "dosdevices" / ("com" + std::to_string(n));
    std::error_code ignored;
    std::filesystem::remove(link, ignored);
    std::filesystem::create_symlink(target, link);
}

void ProgramUnderTest::UnlinkPort(int n) const {
    if (!UnderWine()) return;
    std::error_code ignored;
    std::filesystem::remove(
        std::filesystem::path(prefix) / "dosdevices" / ("com" + std::to_string(n)), ignored);
}

} // namespace korvo::test
