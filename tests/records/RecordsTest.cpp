#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "records/OCMCustomerComment.h"
#include "records/OCMDataInfo.h"
#include "records/OCMResultInfo.h"
#include "records/SettingsFiles.h"
#include "records/TYTestInfo.h"

namespace {

// Every listed text of a record is empty, and null exactly when wantNull.
template <class R>
void expectFresh(const R &record, std::initializer_list<const QString &(R::*)() const> getters,
                 bool wantNull) {
    for (auto get : getters) {
        EXPECT_TRUE((record.*get)().isEmpty());
        EXPECT_EQ((record.*get)().isNull(), wantNull);
    }
}

}  // namespace

TEST(Records, PatientFieldsStartEmptyNotNull) {
    using C = OCMCustInfo;
    const OCMResultInfo row;
    expectFresh(row.custInfo(),
                {&C::firstname, &C::lastname, &C::customerNo, &C::birthday, &C::age, &C::sex, &C::remark},
                false);
    expectFresh(row, {&OCMResultInfo::measureDate, &OCMResultInfo::measureNo}, true);
    using D = OCMDataInfo;
    expectFresh(OCMDataInfo(), {&D::Name, &D::Version, &D::Date, &D::Sum, &D::Bgn, &D::End}, true);
}

TEST(Records, StoredResultKeepsMissingApartFromEmpty) {
    using C = OCMCustomerComment;
    OCMCustomerComment comment;
    expectFresh(comment,
                {&C::zno, &C::date, &C::time, &C::hospital, &C::ms, &C::contentMs, &C::nh3, &C::contentNh3,
                 &C::rsvData, &C::Sheetflg, &C::remark, &C::Totalcomment, &C::Datavalue1, &C::Datavalue7},
                true);
    // A reader meeting an empty element stores "", an absent one leaves null.
    comment.setRemark(QStringLiteral(""));
    comment.setContentMs(QStringLiteral(""));
    EXPECT_FALSE(comment.remark().isNull());
    EXPECT_TRUE(comment.Totalcomment().isNull());
    // Comment texts are never shared between records.
    comment.contentMs().append(QStringLiteral("abc"));
    OCMCustomerComment copy = comment;
    copy.contentMs().append(QStringLiteral("def"));
    EXPECT_EQ(comment.contentMs(), "abc");
}

TEST(Records, NewMeasurementHasEveryPassAndPadEmpty) {
    TYTestInfo info;
    expectFresh(info, {&TYTestInfo::versionNO, &TYTestInfo::userID}, false);
    using E = TYEachTest;
    expectFresh(info.secondTest(), {&E::tyResltAD, &E::tyData, &E::tyTemp, &E::tyCount, &E::tyWhite760},
                false);
    const TYTestData &pad = info.firstTest().nh3TestData();
    expectFresh(
        pad,
        {&TYTestData::tyName, &TYTestData::tySample565, &TYTestData::tyRefTempBefor, &TYTestData::tyDark},
        false);
    EXPECT_FALSE(pad.isOldData());

    // Filled in place, as the record parser does; the other pass stays untouched.
    info.secondTest().leuTestData().setIsOldData(true);
    info.secondTest().checkArray().append(info.secondTest().leuTestData());
    EXPECT_TRUE(info.secondTest().checkArray().front().isOldData());
    EXPECT_FALSE(info.firstTest().leuTestData().isOldData());
}

// A writer that asks for the lock while a bulk job holds it over runs of writes gets it after
// the run, not after the job.
TEST(Records, WriteBatchLetsAWaitingWriterInAfterItsRun) {
    std::atomic<int> writes = 0;
    std::atomic<bool> stop = false;
    std::thread bulk([&] {
        SettingsFiles::WriteBatch batch(8);
        while (!stop) {
            batch.next();
            // About as long as a write of a file.
            const auto until = std::chrono::steady_clock::now() + std::chrono::microseconds(20);
            while (std::chrono::steady_clock::now() < until) {
            }
            ++writes;
        }
    });
    while (writes < 8) std::this_thread::yield();
    for (int round = 0; round < 3; ++round) {
        const int before = writes;
        SettingsFiles::writeMutex().lock();
        const int waited = writes - before;
        SettingsFiles::writeMutex().unlock();
        EXPECT_LE(waited, 3 * 8);
    }
    stop = true;
    bulk.join();
}
