#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include "ui/standard_update_dialog_presenter.h"

namespace zonkle {
namespace {

constexpr int waitLimitMs = 30'000;

// Receives what QDesktopServices would hand to the browser.
class OpenedUrls final : public QObject {
    Q_OBJECT

public:
    OpenedUrls() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }

    QList<QUrl> urls;

public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// The one dialog on screen; dismissed ones are hidden at once.
QDialog* shownDialog() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QDialog*>(window); dialog && dialog->isVisible()) {
            return dialog;
        }
    }
    return nullptr;
}

QString shownText() {
    QString text;
    for (const QLabel* label : shownDialog()->findChildren<QLabel*>()) {
        text += label->text() + u'\n';
    }
    return text;
}

QPushButton* button(const char* name) {
    return shownDialog()->findChild<QPushButton*>(QString::fromLatin1(name));
}

TEST(StandardUpdateDialogPresenter, showsAnUpdateWithoutBlockingAndOpensItsPagesInTheBrowser) {
    OpenedUrls browser;
    StandardUpdateDialogPresenter presenter;
    presenter.showUpdateAvailable({QStringLiteral("0.2.0"), QStringLiteral("0.1.0"), {}, {}});
    const QPointer<QDialog> withoutLinks = shownDialog();
    EXPECT_EQ(withoutLinks->windowModality(), Qt::NonModal);
    EXPECT_TRUE(shownText().contains(QStringLiteral("0.2.0")));
    EXPECT_EQ(button("downloadButton"), nullptr); // no safe link, no button

    const QUrl download(QStringLiteral("https://example.org/download"));
    const QUrl notes(QStringLiteral("https://example.org/notes"));
    presenter.showUpdateAvailable({QStringLiteral("0.2.0"), QStringLiteral("0.1.0"), notes, download});
    EXPECT_TRUE(QTest::qWaitFor([&] { return withoutLinks.isNull(); }, waitLimitMs)); // replaced, not stacked
    button("releaseNotesButton")->click();
    button("downloadButton")->click(); // the release notes leave the dialog open
    EXPECT_EQ(shownDialog(), nullptr);
    EXPECT_EQ(browser.urls, (QList{notes, download}));
}

TEST(StandardUpdateDialogPresenter, failureNamesTheCauseAndHugeTextsAreCut) {
    using Reason = UpdateCheckFailure::Reason;
    StandardUpdateDialogPresenter presenter;
    for (const Reason reason :
         {Reason::Unreachable, Reason::InsecureConnection, Reason::ServerError, Reason::TimedOut, Reason::TooLarge,
          Reason::UnsafeRedirect, Reason::TooManyRedirects, Reason::InvalidFeed}) {
        presenter.showFailed({reason, 503, QStringLiteral("line 3")});
        const QString text = shownText();
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.contains(QStringLiteral("could not check")) && text.contains(QStringLiteral("line 3")));
        EXPECT_FALSE(text.contains(QStringLiteral("up to date"), Qt::CaseInsensitive));
        EXPECT_EQ(text.contains(QStringLiteral("503")), reason == Reason::ServerError);
    }
    presenter.showFailed({Reason::UnsafeRedirect, 0, QString(1'000'000, u'W')});
    EXPECT_LT(shownText().size(), 1000);
    EXPECT_LT(shownDialog()->width(), 1000);
    presenter.showUpdateAvailable({QString(1'000'000, u'W'), QStringLiteral("0.1.0"), {}, {}});
    EXPECT_LT(shownDialog()->width(), 1000);
}

TEST(StandardUpdateDialogPresenter, cancelCallsBackOnceAndClosingNeverEndsTheApplication) {
    StandardUpdateDialogPresenter presenter;
    int cancels = 0;
    // The controller's cancel dismisses the dialog from inside the dialog's own signal.
    presenter.showChecking([&] {
        ++cancels;
        presenter.dismiss();
    });
    button("cancelButton")->click();
    EXPECT_EQ(shownDialog(), nullptr);
    presenter.showChecking([&] { ++cancels; });
    presenter.showUpToDate(QStringLiteral("0.1.0"));
    EXPECT_EQ(cancels, 1);

    ASSERT_TRUE(QGuiApplication::quitOnLastWindowClosed());
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    // Qt ends the application for its last window only while the event loop runs.
    QTimer::singleShot(0, qApp, [] {
        shownDialog()->close();
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    });
    QCoreApplication::exec();
    EXPECT_TRUE(lastWindowClosed.isEmpty());
}

} // namespace
} // namespace zonkle

#include "standard_update_dialog_presenter_test.moc"
