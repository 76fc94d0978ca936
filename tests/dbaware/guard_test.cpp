#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

#include <stdexcept>

namespace {

// A handler that lets its error escape, as one left unguarded would.
struct Unguarded : QObject {
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User)
            throw std::runtime_error("handler failed");
        return QObject::event(e);
    }
};

}  // namespace

TEST(EventLoopDeathTest, AnErrorEscapingToTheEventLoopStopsTheTestAndSaysWhere)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Unguarded receiver;
    receiver.setObjectName(QStringLiteral("receiver"));
    QEvent event(QEvent::User);
    EXPECT_DEATH(QCoreApplication::sendEvent(&receiver, &event), "handler failed .*named 'receiver'");
}
