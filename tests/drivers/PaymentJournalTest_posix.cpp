// The journal's files name payments: the folder is its owner's alone, the file too, and neither is
// reached through a symbolic link someone else could have put there.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "drivers/PaymentJournal.h"
#include "support/TempFolder.h"

namespace {
unsigned Mode(const std::filesystem::path& aPath) {
    struct stat st {};
    return ::lstat(aPath.c_str(), &st) == 0 ? static_cast<unsigned>(st.st_mode & 0777) : 0xFFFFu;
}
} // namespace

TEST(PaymentJournalFiles, OwnerOnlyAndNeverThroughASymbolicLink) {
    TempFolder folder;
    kPaymentJournal journal(folder.Child("Journal"), u"127.0.0.1:9100", u"x.log");
    kPaymentReceipt receipt;
    journal.Asked(zrPaymentAction::pa_Pay, receipt);
    journal.Sent();
    EXPECT_EQ(Mode(folder.Path() / "Journal"), 0700u);
    EXPECT_EQ(Mode(folder.Path() / "Journal" / "P17_127.0.0.1_9100.journal"), 0600u);

    // A link in place of the folder, and in place of the file: nothing is written through either.
    TempFolder elsewhere;
    std::filesystem::create_directory_symlink(elsewhere.Path(), folder.Path() / "LinkedFolder");
    EXPECT_TRUE(kPaymentJournal(folder.Child("LinkedFolder"), u"t", u"x.log").Path().empty());
    std::filesystem::create_directory(folder.Path() / "Other");
    std::filesystem::create_symlink(elsewhere.Path() / "target", folder.Path() / "Other" / "P17_t.journal");
    kPaymentJournal linkedFile(folder.Child("Other"), u"t", u"x.log");
    linkedFile.Asked(zrPaymentAction::pa_Pay, receipt);
    linkedFile.Sent();
    EXPECT_FALSE(std::filesystem::exists(elsewhere.Path() / "target"));
}
