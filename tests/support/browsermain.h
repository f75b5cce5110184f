#pragma once

#include <QApplication>
#include <QTest>

// The main of a test that may start the page viewer's browser engine: the
// application is made as the editor makes it, with the engine's chatter
// about its set-up kept quiet.
#define QUILLET_BROWSER_TEST_MAIN(TestClass)                                                        \
    int main(int argc, char **argv)                                                                 \
    {                                                                                               \
        QByteArray rules = qgetenv("QT_LOGGING_RULES");                                             \
        rules += (rules.isEmpty() ? "" : ";") + QByteArray("qt.webenginecontext.info=false");       \
        qputenv("QT_LOGGING_RULES", rules);                                                         \
        QApplication app(argc, argv);                                                               \
        TestClass test;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                  \
        return QTest::qExec(&test, argc, argv);                                                     \
    }
