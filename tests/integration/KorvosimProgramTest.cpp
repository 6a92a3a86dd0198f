// korvosim as a program: its command line, the endpoints it prints, the
// files it writes, a faults file, and a clean end on SIGTERM and SIGINT.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

#include "protocol/CommandSession.h"
#include "protocol/ResultCodes.h"
#include "transport/CCOM_Link.h"
#include "transport/CRS232NetwLayerServ.h"
#include "transport/CTcpNetwLayer.h"
#include "transport/SocketsStarted.h"

extern char** environ;

namespace korvo {
namespace {

// A running korvosim with its standard output on a pipe.
class Program {
public:
    ~Program() { Kill(); }

    bool Start(const std::vector<std::string>& arguments) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char*> argv;
        std::string path = KORVOSIM_PATH;
        argv.push_back(&path[0]);
        std::vector<std::string> copy = arguments;
        for (std::string& a : copy)
            argv.push_back(&a[0]);
        argv.push_back(nullptr);
        int r = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        output = fds[0];
        return r == 0;
    }

    // The next line of its output ("" at its end or after timeoutMs).
    std::string ReadLine(int timeoutMs = 10000) {
        for (;;) {
            size_t lf = pending.find('\n');
            if (lf != std::string::npos) {
                std::string line = pending.substr(0, lf);
                pending.erase(0, lf + 1);
                return line;
            }
            pollfd p{output, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0) return "";
            char buffer[512];
            ssize_t n = read(output, buffer, sizeof buffer);
            if (n <= 0) return "";
            pending.append(buffer, static_cast<size_t>(n));
        }
    }

    // Everything up to the end of its output.
    std::string ReadAll(int timeoutMs = 10000) {
        for (;;) {
            pollfd p{output, POLLIN, 0};
            if (poll(&p, 1, timeoutMs) <= 0) break;
            char buffer[512];
            ssize_t n = read(output, buffer, sizeof buffer);
            if (n <= 0) break;
            pending.append(buffer, static_cast<size_t>(n));
        }
        std::string all;
        all.swap(pending);
        return all;
    }

    // Sends a signal and returns the exit status (-1 when it did not end normally).
    int StopWith(int signal) {
        kill(pid, signal);
        return Wait();
    }

    int Wait() {
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return -1;
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    void Kill() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
            pid = -1;
        }
        if (output >= 0) close(output);
        output = -1;
    }

    pid_t pid = -1;

private:
    int output = -1;
    std::string pending;
};

std::string ReadFile(const std::string& path) {
    std::string text;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
            text.append(buffer, n);
        std::fclose(f);
    }
    return text;
}

class KorvosimProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
        char path[] = "/tmp/korvosim-program-XXXXXX";
        ASSERT_NE(mkdtemp(path), nullptr);
        dir = path;
        wasStarted = socketsStarted.exchange(true);
    }
    void TearDown() override {
        program.Kill();
        std::system(("rm -rf " + dir).c_str());
        socketsStarted.store(wasStarted);
    }

    std::string dir;
    bool wasStarted = false;
    Program program;
};

TEST_F(KorvosimProgramTest, HelpAndBadArguments) {
    ASSERT_TRUE(program.Start({"--help"}));
    std::string help = program.ReadAll();
    EXPECT_EQ(program.Wait(), 0);
    for (const char* option :
         {"--tcp HOST:PORT", "--usb PATH", "--paper FILE", "--journal FILE", "--faults FILE",
          "--state FILE", "--speed F", "--allow-remote", "delay MS", "drop [BYTES]", "count=N",
          "--chaos SEED:RATE"})
        EXPECT_NE(help.find(option), std::string::npos) << option;

    Program bad;
    ASSERT_TRUE(bad.Start({"--tcp", "127.0.0.1"}));
    EXPECT_EQ(bad.ReadLine(), "korvosim: --tcp wants HOST:PORT, not 127.0.0.1");
    EXPECT_EQ(bad.Wait(), 2);
    Program none;
    ASSERT_TRUE(none.Start({}));
    EXPECT_EQ(none.Wait(), 2);
    Program chaos;
    ASSERT_TRUE(chaos.Start({"--tcp", "127.0.0.1:0", "--chaos", "5:60:50"}));
    EXPECT_EQ(chaos.ReadLine(),
              "korvosim: --chaos wants SEED:RATE[:LOST[:DELAYED[:REPEATED]]] in percent, not 5:60:50");
    EXPECT_EQ(chaos.Wait(), 2);
    Program faults;
    ASSERT_TRUE(faults.Start({"--tcp", "127.0.0.1:0", "--faults", dir + "/missing"}));
    EXPECT_NE(faults.ReadLine().find("missing"), std::string::npos);
    EXPECT_EQ(faults.Wait(), 1);
}

TEST_F(KorvosimProgramTest, ServesUntilSignalledThenCleansUp) {
    const std::string faults = dir + "/faults";
    std::FILE* f = std::fopen(faults.c_str(), "w");
    std::fputs("# the second getData fails\ngetData code 604 skip=1 count=1\n", f);
    std::fclose(f);
    ASSERT_TRUE(program.Start({"--tcp", "127.0.0.1:0", "--usb", dir + "/com1", "--journal",
                               dir + "/journal", "--paper", dir + "/paper", "--faults", faults,
                               "--state", dir + "/state"}));
    std::string tcp = program.ReadLine();
    std::string usb = program.ReadLine();
    ASSERT_EQ(program.ReadLine(), "korvosim: ready");
    ASSERT_EQ(tcp.rfind("korvosim: tcp 127.0.0.1:", 0), 0u) << tcp;
    EXPECT_EQ(usb.rfind("korvosim: usb " + dir + "/com1 -> /dev/pts/", 0), 0u) << usb;
    int port = std::atoi(tcp.c_str() + std::strlen("korvosim: tcp 127.0.0.1:"));

    std::unique_ptr<char[]> host(new char[16]);
    std::strcpy(host.get(), "127.0.0.1");
    CTcpNetwLayer link(std::move(host), port);
    CommandSession session(&link);
    ASSERT_EQ(session.Connect(), 0);
    bool drop = false;
    EXPECT_EQ(session.Execute("getData", "1\t", drop), 0);
    EXPECT_STREQ(session.ResponseValues(), "KV240017");
    EXPECT_EQ(session.Execute("getData", "1\t", drop), EFP_TAX_AUTH_REGIST_REJECTED);
    EXPECT_EQ(session.Execute("beginNonFiscal", nullptr, drop), 0);
    EXPECT_EQ(session.Execute("printNormal", "Hello from the test", drop), 0);
    EXPECT_EQ(session.Execute("endNonFiscal", "1", drop), 0);
    EXPECT_EQ(session.Execute("\tDISCONNECT", nullptr, drop), 0);
    link.Close();

    // The USB front end answers too.
    setenv("KORVOCOMM_PORTS", dir.c_str(), 1);
    CCOM_Link port1("COM1", 0);
    CommandSession usbSession(&port1);
    EXPECT_EQ(usbSession.Connect(), 0);
    port1.Close();
    unsetenv("KORVOCOMM_PORTS");

    EXPECT_EQ(program.StopWith(SIGTERM), 0);
    EXPECT_EQ(program.ReadLine(), "korvosim: stopped");
    struct stat st {};
    EXPECT_NE(lstat((dir + "/com1").c_str(), &st), 0) << "symlink left behind";
    std::string journal = ReadFile(dir + "/journal");
    EXPECT_NE(journal.find(" > gD\\tREQ\\t1\\t\n"), std::string::npos) << journal;
    EXPECT_NE(journal.find(" ! fault code 604\n"), std::string::npos) << journal;
    EXPECT_NE(journal.find(" < gD\\tRSP\\t604\\n\n"), std::string::npos) << journal;
    EXPECT_NE(ReadFile(dir + "/paper").find("Hello from the test\n"), std::string::npos);
    EXPECT_NE(ReadFile(dir + "/state").find("documentNumber=1\n"), std::string::npos);

    // SIGINT ends it the same way.
    Program again;
    ASSERT_TRUE(again.Start({"--tcp", "127.0.0.1:0", "--chaos", "7:5:2"}));
    ASSERT_EQ(again.ReadLine().rfind("korvosim: tcp ", 0), 0u);
    ASSERT_EQ(again.ReadLine(),
              "korvosim: chaos seed 7: 5% corrupted, 2% lost, 1.25% delayed, 1.25% repeated");
    ASSERT_EQ(again.ReadLine(), "korvosim: ready");
    EXPECT_EQ(again.StopWith(SIGINT), 0);
}

TEST_F(KorvosimProgramTest, Rs232StationFromTheCommandLine) {
    ASSERT_TRUE(program.Start({"--rs232", dir + "/com3", "--address", "3", "--baud", "115200",
                               "--link-fault", "lose@i1", "--link-fault", "crc@i2", "--journal",
                               dir + "/journal"}));
    std::string rs232 = program.ReadLine();
    ASSERT_EQ(program.ReadLine(), "korvosim: ready");
    EXPECT_EQ(rs232.rfind("korvosim: rs232 " + dir + "/com3 -> /dev/pts/", 0), 0u) << rs232;
    EXPECT_NE(rs232.find(" address 3 at 115200 baud"), std::string::npos) << rs232;

    setenv("KORVOCOMM_PORTS", dir.c_str(), 1);
    {
        CRS232NetwLayerServ link("COM3", 115200, 3);
        CommandSession session(&link);
        // The answer to the first request is lost and that to the second
        // corrupted; both are sent again, and each runs once.
        ASSERT_EQ(session.Connect(), 0);
        bool drop = false;
        EXPECT_EQ(session.Execute("getData", "1\t", drop), 0);
        EXPECT_STREQ(session.ResponseValues(), "KV240017");
        EXPECT_EQ(link.Close(), 0);
        // Another station address gets no answer at all.
        CRS232NetwLayerServ other("COM3", 115200, 4);
        CommandSession nobody(&other);
        EXPECT_EQ(nobody.Connect(), APP_PACKET_TIMEOUT);
    }
    unsetenv("KORVOCOMM_PORTS");

    EXPECT_EQ(program.StopWith(SIGTERM), 0);
    struct stat st {};
    EXPECT_NE(lstat((dir + "/com3").c_str(), &st), 0) << "symlink left behind";
    std::string journal = ReadFile(dir + "/journal");
    auto count = [&](const std::string& what) {
        int n = 0;
        for (size_t at = journal.find(what); at != std::string::npos; at = journal.find(what, at + 1)) ++n;
        return n;
    };
    EXPECT_EQ(count(" > CONNECT\\tREQ\n"), 1) << journal;
    EXPECT_EQ(count(" > gD\\tREQ\\t1\\t\n"), 1) << journal;
}

} // namespace
} // namespace korvo
