// What the program may write and replace: every case in one table, each
// checked for its status, its message, and what became of the files. The
// cases about permissions run as nobody (through setpriv), since root may
// write anything; they are skipped, saying so, where that cannot be done.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <tuple>
#include <vector>

#include "cli_fixture.h"

namespace tesmora::testing {
namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNogroup = 65534;

struct Files {
    ScratchFolder scratch;
    // A folder of its own that nobody may use too.
    const std::string folder = scratch.path("files");
    std::string path(const std::string& name) const { return folder + "/" + name; }
};

struct SafetyCase {
    const char* what;
    std::function<void(const Files&)> prepare;  // beyond in.wav (1000 samples) and r.txt
    std::vector<std::string> args;              // after "repair"; words starting with @ are paths in the folder
    bool asNobody;
    int status;
    const char* message;
    std::function<void(const Files&, const std::string&)> check;  // given the input's bytes before
};

bool isSymlink(const std::string& path) {
    struct stat status {};
    return lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

struct stat statOf(const std::string& path) {
    struct stat status {};
    stat(path.c_str(), &status);
    return status;
}

// A POSIX ACL as the kernel stores it (user::rw- user:nobody:rw- group::r--
// mask::rw- other::---), set without the acl tools.
std::string accessAcl() {
    std::string acl;
    const auto add = [&acl](std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) acl += static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    add(2, 4);
    for (const auto& [tag, perm, id] :
         {std::tuple{1u, 6u, ~0u}, {2u, 6u, kNobody}, {4u, 4u, ~0u}, {0x10u, 6u, ~0u}, {0x20u, 0u, ~0u}}) {
        add(tag, 2);
        add(perm, 2);
        add(id, 4);
    }
    return acl;
}

std::string attribute(const std::string& path, const char* name) {
    char value[256];
    const ssize_t size = getxattr(path.c_str(), name, value, sizeof value);
    return size < 0 ? "" : std::string(value, static_cast<std::size_t>(size));
}

// Root with setpriv, and a program nobody may run (a clone under /root is
// out of its reach).
bool canDropToNobody() {
    return geteuid() == 0 && access("/usr/bin/setpriv", X_OK) == 0 &&
           std::system(
               "/usr/bin/setpriv --reuid=nobody --regid=nogroup --clear-groups /bin/sh -c "
               "'test -x " TESMORA_PROGRAM " && test -r " TESMORA_MODULE "'") == 0;
}

TEST(OutputSafety, WritesOnlyWhereItMayAndKeepsWhatItReplaces) {
    const auto inputUnchanged = [](const Files& files, const std::string& before) {
        EXPECT_EQ(readFile(files.path("in.wav")), before);
    };
    const auto inputRepaired = [](const Files& files, const std::string& before) {
        EXPECT_NE(readFile(files.path("in.wav")), before);
        EXPECT_EQ(readFile(files.path("in.wav")).size(), before.size());
    };
    const auto link = [](const char* target, const char* name) {
        return [=](const Files& files) { EXPECT_EQ(symlink(target, files.path(name).c_str()), 0); };
    };
    const auto existing = [](const Files& files) { std::ofstream(files.path("old.wav")) << "keep me"; };
    const std::vector<std::string> r = {"-r", "40:60"};
    const auto with = [&r](std::vector<std::string> args) {
        args.insert(args.end(), r.begin(), r.end());
        return args;
    };
    const SafetyCase cases[] = {
        {"a device",
         {},
         with({"@in.wav", "-o", "/dev/null"}),
         false,
         2,
         "/dev/null is not a regular file",
         [](const Files&, const std::string&) { EXPECT_TRUE(S_ISCHR(statOf("/dev/null").st_mode)); }},
        {"a FIFO", [](const Files& files) { mkfifo(files.path("fifo").c_str(), 0644); },
         with({"@in.wav", "-o", "@fifo"}), false, 2, "fifo is not a regular file",
         [](const Files& files, const std::string&) { EXPECT_TRUE(S_ISFIFO(statOf(files.path("fifo")).st_mode)); }},
        {"an existing output", existing, with({"@in.wav", "-o", "@old.wav"}), false, 1,
         "old.wav exists already; give --force to replace it",
         [](const Files& files, const std::string&) { EXPECT_EQ(readFile(files.path("old.wav")), "keep me"); }},
        {"--force", existing, with({"@in.wav", "-o", "@old.wav", "--force"}), false, 0, "",
         [](const Files& files, const std::string& before) {
             EXPECT_EQ(readFile(files.path("old.wav")).size(), before.size());
         }},
        {"a link to an output", [&](const Files& files) { existing(files), link("old.wav", "link.wav")(files); },
         with({"@in.wav", "-o", "@link.wav", "--force"}), false, 0, "",
         [](const Files& files, const std::string& before) {
             EXPECT_TRUE(isSymlink(files.path("link.wav")));
             EXPECT_EQ(readFile(files.path("old.wav")).size(), before.size());
         }},
        {"a dangling link", link("new.wav", "link.wav"), with({"@in.wav", "-o", "@link.wav"}), false, 0, "",
         [](const Files& files, const std::string&) {
             EXPECT_TRUE(isSymlink(files.path("link.wav")));
             EXPECT_TRUE(fileExists(files.path("new.wav")));
         }},
        {"the ranges file as output",
         {},
         {"@in.wav", "-o", "@r.txt", "--ranges", "@r.txt"},
         false,
         2,
         "r.txt is the ranges file",
         [](const Files& files, const std::string&) { EXPECT_EQ(readFile(files.path("r.txt")), "40:60\n"); }},
        {"the ranges file as plot",
         {},
         {"@in.wav", "-o", "@o.wav", "--ranges", "@r.txt", "--plot", "@r.txt"},
         false,
         2,
         "the plot",
         [](const Files& files, const std::string&) { EXPECT_FALSE(fileExists(files.path("o.wav"))); }},
        {"in place through a link", link("in.wav", "link.wav"), with({"@link.wav", "--in-place"}), false, 0, "",
         [&](const Files& files, const std::string& before) {
             EXPECT_TRUE(isSymlink(files.path("link.wav")));
             inputRepaired(files, before);
         }},
        {"in place with a hard link",
         [](const Files& files) { EXPECT_EQ(::link(files.path("in.wav").c_str(), files.path("hard").c_str()), 0); },
         with({"@in.wav", "--in-place"}), false, 1, "has 1 other hard link(s)", inputUnchanged},
        {"in place on a read-only file, as root too",
         [](const Files& files) { chmod(files.path("in.wav").c_str(), 0444); }, with({"@in.wav", "--in-place"}), false,
         1, "is read-only", inputUnchanged},
        {"in place keeps owner, group, mode, ACL and xattrs",
         [](const Files& files) {
             const std::string in = files.path("in.wav");
             EXPECT_EQ(chown(in.c_str(), kNobody, kNogroup), 0);
             const std::string acl = accessAcl();
             setxattr(in.c_str(), "system.posix_acl_access", acl.data(), acl.size(), 0);
             setxattr(in.c_str(), "user.take", "3", 1, 0);
         },
         with({"@in.wav", "--in-place"}), false, 0, "",
         [&](const Files& files, const std::string& before) {
             inputRepaired(files, before);
             const struct stat status = statOf(files.path("in.wav"));
             EXPECT_EQ(status.st_uid, kNobody);
             EXPECT_EQ(status.st_gid, kNogroup);
             EXPECT_EQ(status.st_mode & 07777, 0660u);  // the ACL's mask, not widened
             EXPECT_EQ(attribute(files.path("in.wav"), "system.posix_acl_access"), accessAcl());
             EXPECT_EQ(attribute(files.path("in.wav"), "user.take"), "3");
         }},
        {"in place when the group cannot be kept",
         [](const Files& files) { EXPECT_EQ(chown(files.path("in.wav").c_str(), kNobody, 0), 0); },
         with({"@in.wav", "--in-place"}), true, 1, "cannot keep the owner and group", inputUnchanged},
        {"in place by a user who may not write the file",
         [](const Files& files) { EXPECT_EQ(chown(files.path("in.wav").c_str(), 0, 0), 0); },
         with({"@in.wav", "--in-place"}), true, 1, "may not be written by you", inputUnchanged},
    };
    const bool asNobody = canDropToNobody();
    for (const SafetyCase& safety : cases) {
        if (safety.asNobody && !asNobody) {
            std::cout << "skipped (needs root, setpriv, and a program nobody may run): " << safety.what << "\n";
            continue;
        }
        Files files;
        chmod(files.scratch.path("").c_str(), 0755);
        mkdir(files.folder.c_str(), 0755);
        ASSERT_EQ(chown(files.folder.c_str(), kNobody, kNogroup), 0);
        writeWav(files.path("in.wav"), {SF_FORMAT_PCM_16, 1, 22050, clickyRamp(1000, 1)});
        ASSERT_EQ(chown(files.path("in.wav").c_str(), kNobody, kNogroup), 0);
        chmod(files.path("in.wav").c_str(), 0664);
        std::ofstream(files.path("r.txt")) << "40:60\n";
        if (safety.prepare) safety.prepare(files);
        const std::string before = readFile(files.path("in.wav"));
        std::vector<std::string> args{"repair"};
        for (const std::string& arg : safety.args) args.push_back(arg[0] == '@' ? files.path(arg.substr(1)) : arg);

        const std::vector<std::string> nobody{"/usr/bin/setpriv", "--reuid=nobody", "--regid=nogroup",
                                              "--clear-groups"};
        const ProgramRun run = runProgram(args, safety.asNobody ? nobody : std::vector<std::string>{});
        EXPECT_EQ(run.status, safety.status) << safety.what << ": " << run.err;
        EXPECT_NE(run.err.find(safety.message), std::string::npos) << safety.what << ": " << run.err;
        if (safety.check) safety.check(files, before);
        for (const std::string& name : namesIn(files.folder)) {
            EXPECT_EQ(name.find(".tmp-"), std::string::npos) << safety.what << " left " << name;
        }
    }
}

}  // namespace
}  // namespace tesmora::testing
