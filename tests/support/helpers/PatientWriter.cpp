// Another process writing into the home of the test that starts it: stores measurements of
// one patient on a day of its own, each at a minute of its own, and sets the user default
// "w<day>-<n>" after each. Usage: cvx_patient_writer <day 1-28> <count>; exits 0 when every
// store and write succeeded.
#include <QCoreApplication>

#include "link/PatientFixture.h"
#include "platform/UserDefaults.h"
#include "platform/VirtualHidDevice.h"

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    const int day = QString::fromLocal8Bit(argv[1]).toInt();
    const int count = QString::fromLocal8Bit(argv[2]).toInt();
    cvx::VirtualHidHub::install();
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        TYTestInfo info = patienttest::measurement(QStringLiteral("T-1"));
        info.secondTest().setTyData(QStringLiteral("2026-04-%1").arg(day, 2, 10, QLatin1Char('0')));
        info.secondTest().setTyTime(QStringLiteral("%1:%2")
                                        .arg(i / 60, 2, 10, QLatin1Char('0'))
                                        .arg(i % 60, 2, 10, QLatin1Char('0')));
        if (!UsbUtils::saveCustomerComment(info, 5)) ++failures;
        cvx::UserDefaults::standard().setObject(QString::number(i), QStringLiteral("w%1-%2").arg(day).arg(i));
    }
    if (!cvx::UserDefaults::standard().flush()) ++failures;
    return failures == 0 ? 0 : 1;
}
