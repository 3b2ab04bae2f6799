#include "support/CupsScheduler.h"
#include "support/SpoolQueues.h"

const SpoolQueues& SpoolQueues::Get() {
    static const SpoolQueues queues = [] {
        SpoolQueues q;
        auto cups = std::make_shared<CupsScheduler>(std::vector<std::string>{kSpoolPageQueue},
                                                    std::vector<std::string>{kSpoolRefusingQueue});
        q.fUnavailable = cups->Running() ? std::string() : "no CUPS scheduler: " + cups->Error();
        q.fRoot = cups->Root();
        q.fScheduler = cups;
        return q;
    }();
    return queues;
}

void SpoolQueues::UseOnThisThread() const {
    static_cast<const CupsScheduler*>(fScheduler.get())->UseOnThisThread();
}

bool SpoolQueues::WaitIdle(const std::string& aQueue) const {
    return static_cast<const CupsScheduler*>(fScheduler.get())->WaitIdle(aQueue);
}

bool SpoolQueues::ReportsRefusedRawJobs() const {
    return true;
}
