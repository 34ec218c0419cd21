// The remote view's accounts and certificate: names, Argon2id hashes that
// never reach an output, logins, the self-signed certificate as openssl sees
// it, and the same through the program's command line.
#include "Accounts.h"
#include "Certificate.h"
#include "ShellOutput.h"
#include "store/TempDatabase.h"

#include <filesystem>

namespace {

class AccountsTest : public TempDatabaseTest {};

TEST(AccountNames, ThoseAPhoneCanTypeAndNothingThatBreaksALine)
{
    const struct {
        std::string name;
        bool valid;
    } names[] = {
        {"owner", true}, {"店主", true}, {"li.ming-2", true}, {std::string(32, 'a'), true},
        {"", false}, {std::string(33, 'a'), false}, {"two words", false}, {"o'brien", false},
        {"a/b", false}, {"tab\there", false}, {"\xE5\xBA", false} /* cut in a character */, {"\xFF", false},
        {"\xF5\x9C\x8C\x92", false} /* past U+10FFFF */, {"\xC0\xAF", false} /* overlong */, {"\xED\xA0\x80", false},
    };
    for (const auto& n : names)
        EXPECT_EQ(IsAccountName(n.name), n.valid) << n.name;
    EXPECT_EQ(ParseRole("观看"), std::optional<std::string>("viewer"));
    EXPECT_FALSE(ParseRole("root"));
}

TEST_F(AccountsTest, OnlyTheRightPasswordLogsInAndNoHashIsEverPrinted)
{
    std::string error;
    testing::internal::CaptureStdout();
    ASSERT_TRUE(AddAccount("店主", "admin", "correct horse", &error)) << error;
    EXPECT_FALSE(AddAccount("店主", "viewer", "another one", &error)) << "a name once";
    EXPECT_FALSE(AddAccount("guest", "viewer", "short", &error)) << "a password of 8 bytes at least";
    ASSERT_TRUE(AddAccount("guest", "viewer", "guest password", &error)) << error;
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(printed.find("argon2"), std::string::npos) << printed;
    EXPECT_EQ(printed.find("horse"), std::string::npos) << printed;
    EXPECT_EQ(AccountHash("店主").value_or("").rfind("$argon2id$", 0), 0u);

    const struct {
        const char* name;
        const char* password;
        const char* role;  // null: refused
    } logins[] = {
        {"店主", "correct horse", "admin"}, {"店主", "correct horsE", nullptr}, {"guest", "guest password", "viewer"},
        {"nobody", "correct horse", nullptr}, {"店主", "", nullptr},
    };
    for (const auto& l : logins) {
        const std::optional<AccountRow> row = CheckLogin(l.name, l.password);
        EXPECT_EQ(row ? row->role.c_str() : "refused", std::string(l.role ? l.role : "refused")) << l.name;
    }
    ASSERT_TRUE(ChangePassword("guest", "a new password", &error)) << error;
    EXPECT_FALSE(CheckLogin("guest", "guest password"));
    EXPECT_TRUE(CheckLogin("guest", "a new password"));
    ASSERT_TRUE(RemoveAccount("guest", &error));
    EXPECT_FALSE(RemoveAccount("guest", &error));
    EXPECT_FALSE(CheckLogin("guest", "a new password"));
    ASSERT_EQ(ReadAccounts().size(), 1u);
}

TEST_F(AccountsTest, TheCertificateIsMadeOnceAsABrowserExpectsAndTheOwnersIsKept)
{
    std::string error;
    ASSERT_TRUE(EnsureCertificate(&error)) << error;
    EXPECT_EQ(std::filesystem::status(kKeyFile).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    const std::string text = ShellOutput(std::string("openssl x509 -noout -text -in ") + kCertificateFile);
    for (const char* expected : {"ASN1 OID: prime256v1", "DNS:localhost", "IP Address:127.0.0.1", "CA:FALSE",
                                 "TLS Web Server Authentication", "Signature Algorithm: ecdsa-with-SHA256"})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
    const std::string fingerprint = CertificateFingerprint();
    EXPECT_EQ("sha256 Fingerprint=" + fingerprint + "\n",
              ShellOutput(std::string("openssl x509 -noout -fingerprint -sha256 -in ") + kCertificateFile));
    ASSERT_TRUE(EnsureCertificate(&error));
    EXPECT_EQ(CertificateFingerprint(), fingerprint) << "made once";
    std::filesystem::remove(kKeyFile);
    EXPECT_FALSE(EnsureCertificate(&error)) << "a certificate without its key is the owner's to mend";
    EXPECT_EQ(CertificateFingerprint(), fingerprint);
}

// Through the program, as over SSH: the password from a pipe.
TEST_F(AccountsTest, TheCommandLineAddsListsAndRemovesAccountsWithoutShowingAPassword)
{
    const std::string lumaro = LUMARO_BINARY;
    int status = -1;
    std::string out = ShellOutput("printf 'a secret word\\n' | " + lumaro + " --add-user 店主 --role admin 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out, "lumaro: account 店主 (admin) added\n");
    out = ShellOutput(lumaro + " --list-users 2>&1", &status);
    EXPECT_EQ(out.rfind("店主\tadmin\t", 0), 0u) << out;
    EXPECT_EQ(out.find("secret"), std::string::npos);
    EXPECT_TRUE(CheckLogin("店主", "a secret word"));
    ShellOutput("printf 'x\\n' | " + lumaro + " --add-user guest --role root 2>&1", &status);
    EXPECT_EQ(status, 2) << "a bad role is a wrong command line";
    out = ShellOutput(lumaro + " --remote-fingerprint", &status);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(out, CertificateFingerprint() + "\n");
    EXPECT_EQ(ShellOutput(lumaro + " --remove-user 店主 2>&1", &status), "lumaro: account 店主 removed\n");
    EXPECT_TRUE(ReadAccounts().empty());

    // On a terminal (script(1) gives it one) the password is asked twice;
    // what was typed ahead is kept, and two different ones change nothing.
    const struct {
        const char* typed;
        const char* said;
    } terminals[] = {{"one secret\\none secret\\n", "account guest (viewer) added"},
                     {"one secret\\nanother one\\n", "the two passwords differ"}};
    for (const auto& t : terminals) {
        out = ShellOutput(std::string("printf '") + t.typed + "' | script -qec '" + lumaro +
                          " --add-user guest --role viewer' /dev/null 2>&1");
        EXPECT_NE(out.find("再输入一次密码："), std::string::npos) << out;
        EXPECT_NE(out.find(t.said), std::string::npos) << out;
    }
    EXPECT_EQ(ReadAccounts().size(), 1u);
}

}  // namespace
