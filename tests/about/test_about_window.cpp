// The about window as the user meets it: opened from the main menu's "About", its layout and
// texts, its keys, and how "OK" and the frame close it.

#include "about/about_window.h"
#include "app/main_menu.h"
#include "assets/assets.h"
#include "support/layout_check.h"
#include "support/running_program.h"
#include "support/window_look.h"

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <functional>
#include <memory>

namespace {

const QString kUnavailable = QStringLiteral("System Information Is Unavailable At This Time");
const QColor kBlack(0, 0, 0);
const QColor kWhite(255, 255, 255);
const QColor kGrey(128, 128, 128);

QWidget* shownWindow(const QString& name) {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window->objectName() == name && window->isVisible())
            return window;
    return nullptr;
}

int shownWindows(const QString& name) {
    int count = 0;
    for (QWidget* window : QApplication::topLevelWidgets())
        count += window->objectName() == name && window->isVisible();
    return count;
}

template <class Control = QWidget> Control* control(QWidget* window, const QString& name) {
    auto* found = window ? window->findChild<Control*>(name) : nullptr;
    if (!found)
        qFatal("no control %s", qPrintable(name));
    return found;
}

QString caption(QWidget* window, const QString& name) {
    return control<QLabel>(window, name)->text();
}

QColor pixel(const QImage& image, int x, int y) {
    return QColor(image.pixel(x, y));
}

QWidget* mainMenu() {
    return shownWindow(QStringLiteral("Form1"));
}

// "About" on the main menu; the about window once it has the focus.
QWidget* clickAbout() {
    QTest::mouseClick(control<QPushButton>(mainMenu(), QStringLiteral("Command3")), Qt::LeftButton);
    QWidget* about = shownWindow(QStringLiteral("frmAbout"));
    if (about && !QTest::qWaitForWindowActive(about))
        qWarning("the about window did not become active");
    return about;
}

} // namespace

class TestAboutWindow : public QObject {
    Q_OBJECT
    // Every test starts on the running program with "About" clicked on its main menu.
    std::unique_ptr<RunningProgram> program;
    QPointer<QWidget> about;

    void start(const std::function<void(TestServices&)>& beforeStart = {}) {
        program.reset();
        program = std::make_unique<RunningProgram>(QList<StoredRow>{}, beforeStart);
        about = clickAbout();
    }

  private slots:
    void init() {
        start();
        QVERIFY(about);
    }
    void cleanup() { program.reset(); }

    void aboutOpensBesideTheMainMenu() {
        QCOMPARE(titleAsShown(about), QStringLiteral("About Tessaline"));
        QCOMPARE(about->size(), QSize(639, 234));
        QCOMPARE(captionsNotWhole(about), QStringList());
        QCOMPARE(caption(about, QStringLiteral("lblTitle")), QStringLiteral("Tessaline"));
        QCOMPARE(caption(about, QStringLiteral("lblVersion")), QStringLiteral("Version 0.1.27"));
        QVERIFY(mainMenu());
        QCOMPARE(QApplication::focusWidget(), control(about, QStringLiteral("cmdOK")));
        QVERIFY(program->test.messages.shown.isEmpty());
    }

    void captionsComeFromTheApplication() {
        start([](TestServices& test) {
            test.app.title = QStringLiteral("Quillbook");
            test.app.major = 10;
            test.app.minor = 0;
            test.app.revision = 7;
        });
        QVERIFY(about);
        QCOMPARE(about->windowTitle(), QStringLiteral("About Quillbook"));
        QCOMPARE(caption(about, QStringLiteral("lblTitle")), QStringLiteral("Quillbook"));
        QCOMPARE(caption(about, QStringLiteral("lblVersion")), QStringLiteral("Version 10.0.7"));
    }

    void controlsAreAsDesigned() {
        // The version label's design-time caption has given way to the version at load.
        auto table = about_window_layout::kControls;
        for (ControlLayout& row : table)
            if (QByteArray(row.name) == "lblVersion")
                row.caption = nullptr;
        compareWithLayout(about, table);
        QCOMPARE(caption(about, QStringLiteral("lblDisclaimer")), QString());
    }

    void labelsAreWhiteOnBlack() {
        const QImage window = about->grab().toImage();
        QCOMPARE(pixel(window, 10, 100), kBlack);
        for (const char* name : {"Label1", "Label2", "Label3", "Label4", "Label5", "lblDescription",
                                 "lblTitle", "lblVersion"}) {
            QLabel* label = control<QLabel>(about, QString::fromLatin1(name));
            const QImage face = label->grab().toImage();
            // Small text is smoothed: its brightest pixels are near white, and none has a hue.
            int brightest = 0;
            bool otherThanGrey = false;
            for (int y = 0; y < face.height(); ++y) {
                for (int x = 0; x < face.width(); ++x) {
                    const QColor colour = pixel(face, x, y);
                    brightest = std::max(brightest, colour.red());
                    otherThanGrey |=
                        colour.red() != colour.green() || colour.red() != colour.blue();
                }
            }
            QVERIFY2(brightest >= 224, name);
            QVERIFY2(!otherThanGrey, name);
            QCOMPARE(pixel(face, face.width() - 1, face.height() - 1), kBlack);
        }
    }

    void labelsAreNotHiddenByOneAnother() {
        const QImage window = about->grab().toImage().convertToFormat(QImage::Format_RGB32);
        // Label2 overlaps the foot of lblDescription and is drawn over it.
        for (const char* name :
             {"Label1", "Label2", "Label3", "Label5", "lblTitle", "lblVersion"}) {
            QWidget* label = control(about, QString::fromLatin1(name));
            const QRect shown = label->geometry() & about->rect();
            const QImage face = label->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(window.copy(shown) == face.copy(shown.translated(-label->pos())), name);
        }
    }

    void descriptionWrapsWithinItsWidth() {
        QLabel* description = control<QLabel>(about, QStringLiteral("lblDescription"));
        const QImage face = description->grab().toImage();
        int lowestInk = -1;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                if (pixel(face, x, y) != kBlack)
                    lowestInk = y;
        // More than two lines of text are on the label.
        QVERIFY(lowestInk > 2 * description->fontMetrics().height());
    }

    void titleIsLarge() {
        const QFont title = control(about, QStringLiteral("lblTitle"))->font();
        QCOMPARE(title.pointSizeF(), 18.0);
        QCOMPARE(title.weight(), QFont::Normal);
        QVERIFY(!title.italic() && !title.underline() && !title.strikeOut());
        QVERIFY(title.pointSizeF() >
                control(about, QStringLiteral("lblVersion"))->font().pointSizeF());
    }

    void separatorIsEtched() {
        const QImage window = about->grab().toImage();
        for (int x : {7, 100, 375}) {
            QCOMPARE(pixel(window, x, 162), kBlack);
            QCOMPARE(pixel(window, x, 163), kGrey);
            QCOMPARE(pixel(window, x, 164), kWhite);
            QCOMPARE(pixel(window, x, 165), kWhite);
            QCOMPARE(pixel(window, x, 166), kBlack);
        }
        QCOMPARE(pixel(window, 5, 163), kBlack);
        QCOMPARE(pixel(window, 6, 163), kGrey);
        QCOMPARE(pixel(window, 6, 164), kBlack);
    }

    void pictureIsDrawnUnscaledInsideItsFrame() {
        QWidget* box = control(about, QStringLiteral("Picture1"));
        const QImage shown = box->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const QImage picture =
            assets::aboutPicture().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(picture.size(), QSize(261, 168));
        QCOMPARE(shown.copy(1, 1, 261, 167), picture.copy(0, 0, 261, 167));
        // The frame is drawn around it, not the picture.
        QVERIFY(pixel(shown, 0, 0) != pixel(picture, 0, 0));
    }

    void windowCarriesItsIcon() {
        QVERIFY(!about->windowIcon().isNull());
        QCOMPARE(about->windowIcon().pixmap(32, 32).size(), QSize(32, 32));
    }

    void tabGoesRoundTheButtonsAndThePicture() {
        const QStringList expected{QStringLiteral("cmdSysInfo"), QStringLiteral("Picture1"),
                                   QStringLiteral("cmdOK")};
        QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("cmdOK"));
        for (const QString& next : expected) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget()->objectName(), next);
        }
    }

    void keysThatCloseTheWindow_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<int>("key");
        QTest::newRow("Esc on OK") << "cmdOK" << int(Qt::Key_Escape);
        QTest::newRow("Esc on System Info") << "cmdSysInfo" << int(Qt::Key_Escape);
        QTest::newRow("Esc on the picture") << "Picture1" << int(Qt::Key_Escape);
        QTest::newRow("Enter on OK") << "cmdOK" << int(Qt::Key_Return);
        QTest::newRow("keypad Enter on OK") << "cmdOK" << int(Qt::Key_Enter);
        QTest::newRow("Enter on the picture") << "Picture1" << int(Qt::Key_Return);
    }
    void keysThatCloseTheWindow() {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QWidget* focused = control(about, focus);
        focused->setFocus(Qt::TabFocusReason);
        QTest::keyClick(focused, Qt::Key(key));

        QVERIFY(!about->isVisible());
        QVERIFY(!program->windows->isLoaded(WindowModel::Kind::About));
        QTRY_VERIFY(about.isNull());
        QVERIFY(mainMenu());
        QTRY_COMPARE(QApplication::activeWindow(), mainMenu());
        QVERIFY(program->test.messages.shown.isEmpty());
    }

    // A click, Enter on the button and its access key each tell the user there is no tool.
    void systemInfoWithoutAToolTellsTheUser() {
        auto* sysInfo = control<QPushButton>(about, QStringLiteral("cmdSysInfo"));
        QTest::mouseClick(sysInfo, Qt::LeftButton);
        sysInfo->setFocus(Qt::TabFocusReason);
        QTest::keyClick(sysInfo, Qt::Key_Return);
        QCOMPARE(program->test.messages.texts(), QStringList(2, kUnavailable));
        // An access key presses the button for a moment before it clicks.
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_S, Qt::AltModifier);
        QTRY_COMPARE(program->test.messages.texts(), QStringList(3, kUnavailable));
        QVERIFY(about->isVisible());
    }

    void okClosesAndTheNextAboutLoadsAfresh() {
        // "OK" first, then closing through the frame, which is the same.
        for (const bool throughTheFrame : {false, true}) {
            QPointer<QWidget> first = about;
            control<QLabel>(first, QStringLiteral("lblTitle"))->setText(QStringLiteral("changed"));
            control<QLabel>(first, QStringLiteral("lblVersion"))
                ->setText(QStringLiteral("changed"));
            if (throughTheFrame)
                first->close();
            else
                QTest::mouseClick(control<QPushButton>(first, QStringLiteral("cmdOK")),
                                  Qt::LeftButton);

            QVERIFY(!first->isVisible());
            QVERIFY(!program->windows->isLoaded(WindowModel::Kind::About));
            QTRY_VERIFY(first.isNull());
            QTRY_COMPARE(QApplication::activeWindow(), mainMenu());
            QCOMPARE(program->test.programEnd.ended, 0);

            about = clickAbout();
            QVERIFY(about);
            QCOMPARE(about->windowTitle(), QStringLiteral("About Tessaline"));
            QCOMPARE(caption(about, QStringLiteral("lblTitle")), QStringLiteral("Tessaline"));
            QCOMPARE(caption(about, QStringLiteral("lblVersion")),
                     QStringLiteral("Version 0.1.27"));
            QCOMPARE(QApplication::focusWidget(), control(about, QStringLiteral("cmdOK")));
        }
    }

    void aboutWhileOpenKeepsTheOneWindow() {
        QWidget* first = about;
        control<QLabel>(first, QStringLiteral("lblTitle"))->setText(QStringLiteral("kept"));
        QWidget* again = clickAbout();

        QCOMPARE(again, first);
        QCOMPARE(shownWindows(QStringLiteral("frmAbout")), 1);
        QCOMPARE(caption(again, QStringLiteral("lblTitle")), QStringLiteral("kept"));
    }
};

QTEST_MAIN(TestAboutWindow)
#include "test_about_window.moc"
