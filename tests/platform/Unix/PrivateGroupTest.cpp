#include "Unix/PrivateGroup.h"
#include "Unix/ScratchAccounts.h"

#include <gtest/gtest.h>

#include <grp.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

using namespace Tessit;

// A group is its owner's private group only when nobody else is in it, by
// their primary group or by its member list, and the owner is.
TEST(PrivateGroup, HoldsTheOwnerAndNobodyElse)
{
    if (const std::optional<std::string> reason = ScratchAccounts::whyUnavailable())
        GTEST_SKIP() << reason.value();
    enum Who { kOwner, kOther, kOwnersOtherName };
    struct Case {
        const char* what;
        std::vector<Who> primary; // whose primary group it is
        std::vector<Who> listed; // who is on its member list
        bool isPrivate;
    };
    const Case cases[] = {
        {"the owner's primary group", {kOwner}, {}, true},
        {"the owner's primary group, the owner listed as well", {kOwner}, {kOwner}, true},
        {"a group listing the owner alone", {}, {kOwner}, true},
        {"a group listing another name for the owner's account", {}, {kOwnersOtherName}, true},
        {"the primary group of the owner and another user", {kOwner, kOther}, {}, false},
        {"the owner's primary group listing another user", {kOwner}, {kOther}, false},
        {"a group listing the owner and another user", {}, {kOwner, kOther}, false},
        {"another user's primary group listing the owner", {kOther}, {kOwner}, false},
        {"another user's primary group", {kOther}, {}, false},
        {"a group without members", {}, {}, false},
    };
    // Users whose primary group is none of the cases' are shared by them.
    ScratchAccounts accounts;
    const gid_t elsewhere = accounts.addGroup();
    const ScratchAccounts::User anyOwner = accounts.addUser(elsewhere);
    const ScratchAccounts::User anyOther = accounts.addUser(elsewhere);
    const ScratchAccounts::User ownersOtherName = accounts.addUser(elsewhere, anyOwner.uid);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const gid_t group = accounts.addGroup();
        const auto isPrimary = [&](Who who) { return std::find(c.primary.begin(), c.primary.end(), who) != c.primary.end(); };
        const ScratchAccounts::User owner = isPrimary(kOwner) ? accounts.addUser(group) : anyOwner;
        const ScratchAccounts::User other = isPrimary(kOther) ? accounts.addUser(group) : anyOther;
        std::vector<std::string> listed;
        for (const Who who : c.listed)
            listed.push_back(who == kOwner ? owner.name : who == kOther ? other.name : ownersOtherName.name);
        if (!listed.empty())
            accounts.listMembers(group, listed);

        EXPECT_EQ(isPrivateGroupOf(group, owner.uid), c.isPrivate);
    }
}

// Whom a group that is not in the group database stands for cannot be told.
TEST(PrivateGroup, AnUnknownGroupIsNobodysPrivateGroup)
{
    gid_t unknown = 60999;
    while (getgrgid(unknown) != nullptr)
        --unknown;
    EXPECT_FALSE(isPrivateGroupOf(unknown, 0));
}
