#ifndef TESSIT_TESTS_UNIX_SCRATCHACCOUNTS_H
#define TESSIT_TESTS_UNIX_SCRATCHACCOUNTS_H

// Real users and groups for one test, made with the system's own tools
// (groupadd, useradd) and removed with it, and code run as one of those
// users: only root may make them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <functional>
#include <optional>
#include <string>
#include <vector>

extern char** environ;

namespace Tessit {

class ScratchAccounts {
public:
    struct User {
        std::string name;
        uid_t uid;
        gid_t gid; // its primary group
    };

    // Why a test cannot make users and groups here, or nothing.
    static std::optional<std::string> whyUnavailable()
    {
        if (geteuid() != 0)
            return std::string("making users and groups needs root");
        for (const char* tool : {"/usr/sbin/groupadd", "/usr/sbin/groupmod", "/usr/sbin/groupdel", "/usr/sbin/useradd",
                                 "/usr/sbin/userdel"}) {
            if (access(tool, X_OK) != 0)
                return std::string(tool) + " is missing";
        }
        return std::nullopt;
    }

    // What an earlier test process left when it was killed goes first.
    ScratchAccounts() { removeLeftovers(); }
    ScratchAccounts(const ScratchAccounts&) = delete;
    ScratchAccounts& operator=(const ScratchAccounts&) = delete;
    ~ScratchAccounts() { remove(m_users, m_groups, Output::Shown); }

    // A new group with `members` (user names) on its member list; its id.
    gid_t addGroup(const std::vector<std::string>& members = {})
    {
        const std::string name = freshName();
        std::vector<std::string> command{"/usr/sbin/groupadd", "--system", name};
        if (!members.empty())
            command.insert(command.end(), {"--users", joined(members)});
        EXPECT_TRUE(run(command)) << name;
        m_groups.push_back(name);
        const struct group* made = getgrnam(name.c_str());
        EXPECT_NE(made, nullptr) << name;
        return made ? made->gr_gid : gid_t(-1);
    }

    // A new user, without home or login, whose primary group is `group`.
    // With `sameIdAs`, another name for that user's id.
    User addUser(gid_t group, const std::optional<uid_t>& sameIdAs = std::nullopt)
    {
        const std::string name = freshName();
        std::vector<std::string> command{"/usr/sbin/useradd", "--system",  "--no-create-home", "--no-user-group",
                                         "--gid",             std::to_string(group), "--shell", "/usr/sbin/nologin"};
        if (sameIdAs)
            command.insert(command.end(), {"--non-unique", "--uid", std::to_string(*sameIdAs)});
        command.push_back(name);
        EXPECT_TRUE(run(command)) << name;
        m_users.push_back(name);
        const passwd* made = getpwnam(name.c_str());
        EXPECT_NE(made, nullptr) << name;
        return User{name, made ? made->pw_uid : uid_t(-1), group};
    }

    // Puts `members` (user names) on the member list of `group`.
    void listMembers(gid_t group, const std::vector<std::string>& members)
    {
        const struct group* entry = getgrgid(group);
        ASSERT_NE(entry, nullptr) << group;
        const std::string name = entry->gr_name;
        EXPECT_TRUE(run({"/usr/sbin/groupmod", "--users", joined(members), name})) << name;
    }

    // A user as Debian makes one: its own group, nobody else's.
    User addUserWithPrivateGroup() { return addUser(addGroup()); }

    // What `work` returns, run in a child process as `user` (its primary
    // group alone, umask 002 as with private groups); its text on failure.
    static std::string runAs(const User& user, const std::function<std::string()>& work)
    {
        int channel[2];
        if (pipe(channel) != 0)
            return "(no pipe)";
        const pid_t child = fork();
        if (child == 0) {
            close(channel[0]);
            std::string result = "(could not become " + user.name + ")";
            if (setgroups(0, nullptr) == 0 && setresgid(user.gid, user.gid, user.gid) == 0 &&
                setresuid(user.uid, user.uid, user.uid) == 0) {
                umask(002);
                // The child must never go on as a copy of the test run.
                try {
                    result = work();
                } catch (const std::exception& failure) {
                    result = std::string("(failed: ") + failure.what() + ")";
                }
            }
            for (size_t written = 0; written < result.size();) {
                const ssize_t count = write(channel[1], result.data() + written, result.size() - written);
                if (count <= 0)
                    break;
                written += size_t(count);
            }
            _exit(0);
        }
        close(channel[1]);
        std::string result;
        char buffer[512];
        for (ssize_t count; (count = read(channel[0], buffer, sizeof buffer)) != 0;) {
            if (count < 0 && errno == EINTR)
                continue;
            if (count < 0)
                break;
            result.append(buffer, size_t(count));
        }
        close(channel[0]);
        int status = 0;
        waitpid(child, &status, 0);
        return result;
    }

private:
    static constexpr char kPrefix[] = "tessit-t";

    // The making process's id is in each name, so that what a killed one
    // left can be told from what a running one uses; no name comes twice.
    static std::string freshName()
    {
        static int made = 0;
        return kPrefix + std::to_string(getpid()) + "-" + std::to_string(made++);
    }

    static std::string joined(const std::vector<std::string>& names)
    {
        std::string list;
        for (const std::string& name : names)
            list += (list.empty() ? "" : ",") + name;
        return list;
    }

    enum class Output { Shown, Dropped };

    static bool run(const std::vector<std::string>& command, Output output = Output::Shown)
    {
        std::vector<char*> arguments;
        for (const std::string& argument : command)
            arguments.push_back(const_cast<char*>(argument.c_str()));
        arguments.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (output == Output::Dropped)
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        pid_t child = -1;
        const int spawned = posix_spawn(&child, arguments[0], &actions, nullptr, arguments.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return false;
        int status = 0;
        return waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }

    static bool leftByEndedProcess(const std::string& name)
    {
        if (name.rfind(kPrefix, 0) != 0)
            return false;
        const pid_t maker = pid_t(std::strtol(name.c_str() + sizeof kPrefix - 1, nullptr, 10));
        return maker > 0 && kill(maker, 0) != 0 && errno == ESRCH;
    }

    static void removeLeftovers()
    {
        std::vector<std::string> users;
        std::vector<std::string> groups;
        setpwent();
        while (const passwd* entry = getpwent()) {
            if (leftByEndedProcess(entry->pw_name))
                users.emplace_back(entry->pw_name);
        }
        endpwent();
        setgrent();
        while (const struct group* entry = getgrent()) {
            if (leftByEndedProcess(entry->gr_name))
                groups.emplace_back(entry->gr_name);
        }
        endgrent();
        // Another test process may be removing the same ones.
        remove(users, groups, Output::Dropped);
    }

    // Users first: a group stays while it is someone's primary group. A
    // program a test started as the user may not have ended yet.
    static void remove(const std::vector<std::string>& users, const std::vector<std::string>& groups, Output output)
    {
        for (const std::string& user : users)
            run({"/usr/sbin/userdel", "--force", user}, output);
        for (const std::string& group : groups)
            run({"/usr/sbin/groupdel", group}, output);
    }

    std::vector<std::string> m_users;
    std::vector<std::string> m_groups;
};

} // namespace Tessit

#endif
