// The engineering access level from the user name and the fully qualified host name.
#include "app/access_level.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <future>

namespace {

TEST(AccessLevel, NoNamesGiveUserLevel)
{
    EXPECT_EQ(AccessLevelFromNames(std::nullopt, std::nullopt), ACCESS_LEVEL_USER);
}

TEST(AccessLevel, UserNameWithBothPartsGrantsEngineering)
{
    EXPECT_EQ(AccessLevelFromNames("morvetan.quessary", "ws12.example.net"), ACCESS_LEVEL_ENGINEERING);
    EXPECT_EQ(AccessLevelFromNames("tukhold-morvetan", std::nullopt), ACCESS_LEVEL_ENGINEERING);
}

TEST(AccessLevel, HostNameCanGrant)
{
    EXPECT_EQ(AccessLevelFromNames("tech", "lab.morvetan.tukhold.example"), ACCESS_LEVEL_ENGINEERING);
}

TEST(AccessLevel, HostNameCanWithdrawWhatTheUserNameGranted)
{
    EXPECT_EQ(AccessLevelFromNames("morvetan_quessary", "fenwisk.morvetan.example"), ACCESS_LEVEL_USER);
}

TEST(AccessLevel, HostNameWithoutTheRequiredPartChangesNothing)
{
    EXPECT_EQ(AccessLevelFromNames("morvetan_quessary", "fenwisk.example"), ACCESS_LEVEL_ENGINEERING);
}

TEST(AccessLevel, GrantingPartWithoutTheRequiredOneHasNoEffect)
{
    EXPECT_EQ(AccessLevelFromNames("tukhold", "quessary.example"), ACCESS_LEVEL_USER);
}

TEST(AccessLevel, RequiredPartAloneChangesNothing)
{
    EXPECT_EQ(ApplyAccessName(ACCESS_LEVEL_ENGINEERING, "morvetan"), ACCESS_LEVEL_ENGINEERING);
    EXPECT_EQ(ApplyAccessName(ACCESS_LEVEL_USER, "morvetan"), ACCESS_LEVEL_USER);
}

TEST(AccessLevel, GrantingWinsOverWithdrawingInOneName)
{
    EXPECT_EQ(ApplyAccessName(ACCESS_LEVEL_USER, "morvetan-fenwisk-tukhold"), ACCESS_LEVEL_ENGINEERING);
}

TEST(AccessLevel, CaseDoesNotMatter)
{
    EXPECT_EQ(AccessLevelFromNames("MorVetan.QUESSARY", std::nullopt), ACCESS_LEVEL_ENGINEERING);
    EXPECT_EQ(AccessLevelFromNames("morvetan.quessary", "FENWISK.MORVETAN"), ACCESS_LEVEL_USER);
}

TEST(AccessLevel, UserNameComesFromThePasswordDatabaseBeforeTheEnvironment)
{
    const char* saved = std::getenv("USER");
    const std::string savedUser = saved != nullptr ? saved : "";
    setenv("USER", "not-the-login-name", 1);
    const std::optional<std::string> name = CurrentUserName();
    if (saved != nullptr)
        setenv("USER", savedUser.c_str(), 1);
    else
        unsetenv("USER");
    ASSERT_TRUE(name.has_value());
    EXPECT_NE(*name, "not-the-login-name");
    EXPECT_FALSE(name->empty());
}

TEST(AccessLevel, HostNameIsAvailable)
{
    const std::optional<std::string> name = FullyQualifiedHostName();
    ASSERT_TRUE(name.has_value());
    EXPECT_FALSE(name->empty());
}

// A name server that does not answer: the plain name is taken without waiting for it.
TEST(AccessLevel, HostNameLookupThatHangsFallsBackToThePlainName)
{
    std::promise<void> release;
    const std::shared_future<void> released = release.get_future().share();
    const HostNameResolver hanging = [released](const std::string&) -> std::optional<std::string> {
        released.wait_for(std::chrono::seconds(30));
        return "desk.morvetan-tukhold.example";
    };

    const std::string name = HostNameWithin("desk", hanging, 50);
    release.set_value();

    EXPECT_EQ(name, "desk");
}

TEST(AccessLevel, HostNameLookupThatAnswersGivesTheCanonicalNameOrThePlainOne)
{
    const HostNameResolver answering = [](const std::string& host) -> std::optional<std::string> {
        return host + ".quessary.example";
    };
    const HostNameResolver unknowing = [](const std::string&) -> std::optional<std::string> { return std::nullopt; };

    EXPECT_EQ(HostNameWithin("desk", answering, 5000), "desk.quessary.example");
    EXPECT_EQ(HostNameWithin("desk", unknowing, 5000), "desk");
}

} // namespace
