// SPDX-License-Identifier: GPL-3.0-or-later
// F1 in a modal dialog, tried with real window-system input: an X server of its own (Xvfb)
// and xdotool typing and clicking, as a user would. Without both the tests skip visibly.
#include "core/Settings.h"
#include "platform/HelpViewer.h"
#include "ui/Anrufer.h"
#include "ui/Info.h"
#include "ui/Parameter.h"
#include "ui/Teilnehmer.h"

#include "support/TableSupport.h"
#include "support/TestEnvironment.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QPointer>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <functional>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string& SkipReason() {
    static std::string reason;
    return reason;
}

// An Xvfb on a display number it picks itself, ended with the tests.
class VirtualDisplay {
public:
    VirtualDisplay() {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            SkipReason() = "Xvfb is not installed";
            return;
        }
        if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            SkipReason() = "xdotool is not installed (tools/install-deps.sh)";
            return;
        }
        int fds[2];
        if (pipe(fds) != 0) {
            SkipReason() = "no pipe for Xvfb";
            return;
        }
        const std::string path = xvfb.toStdString();
        const std::string fd = std::to_string(fds[1]);
        pid_ = fork();
        if (pid_ == 0) {
            close(fds[0]);
            execl(path.c_str(), "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1920x1080x24",
                  "-nolisten", "tcp", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd p{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n')
            number += c;
        close(fds[0]);
        if (pid_ < 0 || number.empty()) {
            SkipReason() = "Xvfb did not start";
            return;
        }
        display_ = ":" + number;
    }
    ~VirtualDisplay() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    const std::string& display() const { return display_; }

private:
    pid_t pid_ = -1;
    std::string display_;
};

// xdotool against the test's own display; true when it ran without error.
bool XDo(const QStringList& args) {
    QProcess xdo;
    xdo.start(QStringLiteral("xdotool"), args);
    if (!xdo.waitForFinished(5000)) return false;
    QTest::qWait(50); // the events reach the program through its event loop
    return xdo.exitStatus() == QProcess::NormalExit && xdo.exitCode() == 0;
}

bool ClickAt(QPoint global, int button = 1) {
    return XDo({QStringLiteral("mousemove"), QString::number(global.x()),
                QString::number(global.y())}) &&
           XDo({QStringLiteral("click"), QString::number(button)});
}

bool Key(const char* key) {
    return XDo({QStringLiteral("key"), QLatin1String(key)});
}

// Lets the events in until `done` holds; false after three seconds without.
bool WaitFor(const std::function<bool()>& done) {
    for (int i = 0; i < 60 && !done(); ++i)
        QTest::qWait(50);
    return done();
}

QTextBrowser* OpenViewer() {
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("HelpViewer") && w->isVisible())
            return qobject_cast<QTextBrowser*>(w);
    return nullptr;
}

class HelpWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SkipReason().empty()) GTEST_SKIP() << "no X input test: " << SkipReason();
        ResetSettings();
        cbtest::CreatePhoneBook();
        cbtest::AddEntries({{"M\xFCller", "0301234", "J\xFCrgen"}});
        cbtest::CreateCallLog();
        cbtest::AddCalls({{1709287200, "0301234", "040999", ""}});
    }

    // Runs `steps` while `dlg` waits in its modal loop, and makes sure the loop ends.
    void RunModal(QDialog& dlg, const std::function<void()>& steps) {
        bool ran = false;
        QTimer::singleShot(0, &dlg, [&]() {
            ran = true;
            steps();
            if (dlg.isVisible()) dlg.reject();
        });
        dlg.exec();
        EXPECT_TRUE(ran);
    }

    // F1 typed into the active dialog opens the help beside it at `page`, not blocked.
    QTextBrowser* PressF1(QDialog& dlg, const char* page) {
        dlg.activateWindow();
        if (!QTest::qWaitForWindowActive(&dlg)) {
            ADD_FAILURE() << "the dialog never became active";
            return nullptr;
        }
        EXPECT_TRUE(Key("F1"));
        QTextBrowser* viewer = nullptr;
        for (int i = 0; i < 100 && !(viewer = OpenViewer()); ++i)
            QTest::qWait(50);
        if (!viewer) {
            ADD_FAILURE() << "F1 opened no help window";
            return nullptr;
        }
        EXPECT_TRUE(QTest::qWaitForWindowExposed(viewer));
        EXPECT_EQ(viewer->source().fileName().toStdString(), page);
        EXPECT_FALSE(viewer->frameGeometry().intersects(dlg.frameGeometry()))
            << "the help covers the dialog";
        EXPECT_TRUE(viewer->screen()->availableGeometry().contains(viewer->frameGeometry()));
        return viewer;
    }

    cbtest::TempDir dir;
    cbtest::ErrorBoxCapture boxes;
};

TEST_F(HelpWindowTest, HelpBesideTheHistoryScrollsFollowsLinksAndClosesWhileItStaysOpen) {
    TDlgAnrufer dlg(nullptr);
    RunModal(dlg, [&]() {
        QPointer<QTextBrowser> viewer = PressF1(dlg, "102.html");
        ASSERT_TRUE(viewer);

        // A click on the link "Inhalt" leads to the contents page.
        const QTextCursor link = viewer->document()->find(QStringLiteral("Inhalt"));
        ASSERT_FALSE(link.isNull());
        QTextCursor inLink(viewer->document());
        inLink.setPosition(link.selectionStart() + 2);
        const QPoint linkPoint =
            viewer->viewport()->mapToGlobal(viewer->cursorRect(inLink).center());
        ASSERT_TRUE(ClickAt(linkPoint));
        ASSERT_TRUE(WaitFor([&] {
            return viewer->source().fileName() == QLatin1String("index.html");
        })) << viewer->source().toString().toStdString();

        // The wheel scrolls the long contents page.
        QScrollBar* bar = viewer->verticalScrollBar();
        ASSERT_GT(bar->maximum(), 0) << "the contents page fits; nothing to scroll";
        ASSERT_EQ(bar->value(), 0);
        ASSERT_TRUE(
            ClickAt(viewer->viewport()->mapToGlobal(viewer->viewport()->rect().center()), 5));
        ASSERT_TRUE(WaitFor([&] { return bar->value() > 0; }));

        // Escape closes the help and leaves the dialog open.
        ASSERT_TRUE(Key("Escape"));
        ASSERT_TRUE(WaitFor([&] { return !viewer || !viewer->isVisible(); }));
        EXPECT_TRUE(dlg.isVisible());

        // The dialog still answers: Escape now closes it.
        dlg.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        ASSERT_TRUE(Key("Escape"));
        ASSERT_TRUE(WaitFor([&] { return !dlg.isVisible(); }));
    });
    EXPECT_TRUE(boxes.texts().empty());
}

TEST_F(HelpWindowTest, EveryDialogOpensItsTopicBesideItself) {
    struct Case {
        const char* page;
        std::function<std::unique_ptr<QDialog>()> make;
    };
    const Case cases[] = {
        {"106.html", [] { return std::make_unique<TDlgTeilnehmer>(nullptr); }},
        {"110.html", [] { return std::make_unique<TDlgParameter>(nullptr); }},
        {"120.html", [] { return std::make_unique<TDlgInfo>(nullptr); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.page);
        std::unique_ptr<QDialog> dlg = c.make();
        RunModal(*dlg, [&]() {
            QPointer<QTextBrowser> viewer = PressF1(*dlg, c.page);
            ASSERT_TRUE(viewer);
            // A click into the help lands there: the dialog's modality does not block it.
            ASSERT_TRUE(ClickAt(viewer->viewport()->mapToGlobal(QPoint(20, 20))));
            ASSERT_TRUE(WaitFor([&] { return viewer->isActiveWindow(); }));
            ASSERT_TRUE(Key("Escape"));
            ASSERT_TRUE(WaitFor([&] { return !viewer || !viewer->isVisible(); }));
            EXPECT_TRUE(dlg->isVisible());
        });
    }
}

} // namespace

int main(int argc, char** argv) {
    cbtest::PrepareTestEnvironment();
    ::testing::InitGoogleTest(&argc, argv);
    VirtualDisplay display;
    if (SkipReason().empty()) {
        qputenv("DISPLAY", QByteArray::fromStdString(display.display()));
        qputenv("QT_QPA_PLATFORM", "xcb");
    } else {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        std::fprintf(stderr, "SKIPPING the X input tests: %s\n", SkipReason().c_str());
    }
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
