// The korvoprog that the end-to-end tests run: the one built next to them, or
// a Windows build under Wine. The Windows builds' tests ask for the latter
// with KORVOPROG_UNDER_TEST (korvoprog.exe) and KORVO_WINE_RUN,
// KORVO_WINE_PREFIX and KORVO_WINE_ARCH (scripts/wine-run.sh and its
// arguments), so that the Windows program meets the same expectations.
#pragma once

#include <string>
#include <vector>

#include "Processes.h"

namespace korvo::test {

class ProgramUnderTest {
public:
    // From the environment; the native program when nothing is set.
    explicit ProgramUnderTest(const std::string& nativeProgram);

    const std::string& File() const { return file; }
    // Its file name, which is also the base name it shows for itself.
    std::string FileName() const;
    bool UnderWine() const { return !wineRun.empty(); }

    // How the program names itself (argv[0]) when started as path.
    std::string ShownPath(const std::string& path) const;

    // Starts the program file at path (a link to File()) with the arguments,
    // the way RunProgram does. Arguments that are absolute paths reach a
    // Windows program as Windows paths. Under Wine, the console's CR LF line
    // ends come back as LF when every line end has its CR, so that the text
    // compares with the same expectations; a bare LF stays as it is.
    ProgramResult Run(const std::string& path, const std::vector<std::string>& arguments,
                      const std::string& workDir,
                      const std::vector<std::string>& environment) const;

    // Makes the port COMn lead to target (a pseudo-terminal's link): under
    // Wine through the prefix's dosdevices, natively through KORVOCOMM_PORTS,
    // which the caller points at target's folder.
    void LinkPort(int n, const std::string& target) const;
    void UnlinkPort(int n) const;

private:
    std::string WindowsPath(const std::string& path) const;

    std::string file, wineRun, prefix, arch;
};

} // namespace korvo::test
