#include "DayCount.h"

namespace {
std::string Count(std::size_t aCount, const char* aOne, const char* aMany) {
    return std::to_string(aCount) + " " + (aCount == 1 ? aOne : aMany);
}
} // namespace

std::string DayCountText(const std::vector<JournalEntry>& aEntries, const std::string& aTerminal,
                         const std::string& aDay) {
    std::size_t payments = 0, refunds = 0, voids = 0, open = 0;
    for (const auto& entry : aEntries) {
        const JournalRecord* asked = entry.Operation.Find("asked");
        if (asked == nullptr || asked->Get("terminal") != aTerminal || !asked->Time.starts_with(aDay)) {
            continue;
        }
        const JournalState state = entry.Operation.State();
        if (entry.Operation.Unresolved()) {
            ++open;
        } else if (state == JournalState::Approved || state == JournalState::RecoveredApproved) {
            const std::string kind = asked->Get("kind");
            payments += kind == "PAY" ? 1 : 0;
            refunds += kind == "REFUND" ? 1 : 0;
            voids += kind == "VOID" ? 1 : 0;
        }
    }
    return Count(payments, "payment", "payments") + ", " + Count(refunds, "refund", "refunds") + ", " +
           Count(voids, "void", "voids") + " approved" +
           (open == 0 ? std::string() : ", " + std::to_string(open) + " outcome unknown");
}
