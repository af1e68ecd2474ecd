#include "KxTestPrinting.h"

#include "KxFoundation/KxException.h"
#include "KxFoundation/KxExecution.h"
#include "KxFoundation/KxMemoryStream.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <vector>

using namespace Kavo;

namespace {

class Executor : public KxObject {
public:
    explicit Executor(std::function<bool(KxStream&)> body) : m_body(std::move(body)) {}
    bool execute(const KxString&, KxStream& reply) override { return m_body(reply); }

private:
    std::function<bool(KxStream&)> m_body;
};

struct Report {
    KxString request;
    int id;
    int32_t status;
    uint32_t position;
    KxString where;
};

class RecordingObserver : public KxExecutionObserver {
public:
    std::vector<Report> reports;

    void onExecutionStatus(const char16_t* request, int id, int32_t status, KxStream& reply) override
    {
        Report report{KxString(request), id, status, reply.position(), KxString()};
        if (status == KxExecutionRaised) {
            KxException raised(u"", 0, nullptr);
            raised.readFromStream(reply);
            report.where = raised.where;
        }
        reports.push_back(report);
    }

    std::vector<int32_t> statuses() const
    {
        std::vector<int32_t> result;
        for (const Report& report : reports)
            result.push_back(report.status);
        return result;
    }
};

} // namespace

TEST(KxExecution, ReportsEachStageToTheObserver)
{
    struct Case { const char* label; std::function<bool(KxStream&)> body; std::vector<int32_t> statuses; };
    for (const Case& c : std::vector<Case>{
             {"succeeds", [](KxStream&) { return true; }, {1, 2}},
             {"fails", [](KxStream&) { return false; }, {1, 4}},
             // A write into the unopened reply stream raises a range exception.
             {"writes without a block", [](KxStream& reply) { reply.writeUInt32(7); return true; }, {1, 5}},
             {"raises", [](KxStream&) -> bool { throw KxBadAllocException(u"KxMemoryStream::init()", 8); }, {1, 5}},
         }) {
        SCOPED_TRACE(c.label);
        Executor executor(c.body);
        RecordingObserver observer;
        executor.executeObserved(17, KxString(u"request"), &observer);
        EXPECT_EQ(observer.statuses(), c.statuses);
        for (const Report& report : observer.reports) {
            EXPECT_EQ(report.request, KxString(u"request"));
            EXPECT_EQ(report.id, 17);
            EXPECT_EQ(report.position, 0u);
        }
    }
}

TEST(KxExecution, RaisedExceptionIsSerialisedIntoTheReply)
{
    Executor executor([](KxStream&) -> bool { throw KxRangeException(u"KxString::substring()", KxRange{0, 2, 3}); });
    RecordingObserver observer;
    executor.executeObserved(1, KxString(u"r"), &observer);
    ASSERT_EQ(observer.reports.size(), 2u);
    EXPECT_EQ(observer.reports[1].where, KxString(u"KxString::substring()"));

    EXPECT_NO_THROW(executor.executeObserved(1, KxString(u"r"), nullptr));
}

TEST(KxExecution, OtherExceptionsPassThrough)
{
    Executor executor([](KxStream&) -> bool { throw std::runtime_error("not a library exception"); });
    RecordingObserver observer;
    EXPECT_THROW(executor.executeObserved(3, KxString(u"r"), &observer), std::runtime_error);
    EXPECT_EQ(observer.statuses(), std::vector<int32_t>{1});
}
