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

#include "updates/standard_update_dialog_presenter.h"

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

QString textOf(QDialog* dialog, const char* name) {
    const auto* label = dialog->findChild<QLabel*>(QString::fromLatin1(name));
    return label ? label->text() : QString();
}

QPushButton* button(QDialog* dialog, const char* name) {
    return dialog->findChild<QPushButton*>(QString::fromLatin1(name));
}

TEST(StandardUpdateDialogPresenter, showsEachOutcomeWithoutBlocking) {
    StandardUpdateDialogPresenter presenter;
    presenter.showUpToDate(QStringLiteral("0.1.0"));
    const QPointer<QDialog> upToDate = presenter.currentDialog();
    ASSERT_FALSE(upToDate.isNull());
    EXPECT_TRUE(upToDate->isVisible());
    EXPECT_EQ(upToDate->windowModality(), Qt::NonModal);
    EXPECT_TRUE(textOf(upToDate, "body").contains(QStringLiteral("0.1.0")));

    presenter.showUpdateAvailable({QStringLiteral("0.2.0"), QStringLiteral("0.1.0"), {}, {}});
    QDialog* available = presenter.currentDialog();
    EXPECT_TRUE(QTest::qWaitFor([&] { return upToDate.isNull(); }, waitLimitMs)); // replaced, not stacked
    EXPECT_TRUE(textOf(available, "heading").contains(QStringLiteral("0.2.0")));
    EXPECT_EQ(button(available, "downloadButton"), nullptr); // no safe link, no button
    EXPECT_EQ(button(available, "releaseNotesButton"), nullptr);

    button(available, "closeButton")->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return presenter.currentDialog() == nullptr; }, waitLimitMs));
}

TEST(StandardUpdateDialogPresenter, buttonsOpenTheOfferedPagesInTheBrowser) {
    OpenedUrls browser;
    StandardUpdateDialogPresenter presenter;
    const QUrl download(QStringLiteral("https://example.org/download"));
    const QUrl notes(QStringLiteral("https://example.org/notes"));
    presenter.showUpdateAvailable({QStringLiteral("0.2.0"), QStringLiteral("0.1.0"), notes, download});
    QDialog* dialog = presenter.currentDialog();

    button(dialog, "releaseNotesButton")->click();
    EXPECT_TRUE(dialog->isVisible()); // the download stays one click away
    button(dialog, "downloadButton")->click();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(browser.urls, (QList{notes, download}));
}

TEST(StandardUpdateDialogPresenter, failureNamesTheCauseAndNeverSaysUpToDate) {
    using Reason = UpdateCheckFailure::Reason;
    StandardUpdateDialogPresenter presenter;
    for (const Reason reason :
         {Reason::Unreachable, Reason::InsecureConnection, Reason::ServerError, Reason::TimedOut, Reason::TooLarge,
          Reason::UnsafeRedirect, Reason::TooManyRedirects, Reason::InvalidFeed}) {
        presenter.showFailed({reason, 503, QStringLiteral("line 3")});
        const QString text = textOf(presenter.currentDialog(), "heading") + textOf(presenter.currentDialog(), "body");
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.contains(QStringLiteral("could not check")));
        EXPECT_TRUE(text.contains(QStringLiteral("line 3")));
        EXPECT_FALSE(text.contains(QStringLiteral("up to date"), Qt::CaseInsensitive));
        EXPECT_FALSE(text.contains(QStringLiteral("newest"), Qt::CaseInsensitive));
        EXPECT_EQ(text.contains(QStringLiteral("503")), reason == Reason::ServerError);
    }
}

TEST(StandardUpdateDialogPresenter, cancelCallsBackOnceButDismissingDoesNot) {
    StandardUpdateDialogPresenter presenter;
    int cancels = 0;
    // The controller's cancel dismisses the dialog from inside the dialog's own signal.
    presenter.showChecking([&] {
        ++cancels;
        presenter.dismiss();
    });
    button(presenter.currentDialog(), "cancelButton")->click();
    EXPECT_EQ(presenter.currentDialog(), nullptr);
    EXPECT_EQ(cancels, 1);

    presenter.showChecking([&] { ++cancels; });
    presenter.dismiss();
    presenter.showChecking([&] { ++cancels; });
    presenter.showUpToDate(QStringLiteral("0.1.0"));
    QCoreApplication::processEvents();
    EXPECT_EQ(cancels, 1);
}

TEST(StandardUpdateDialogPresenter, closingTheLastWindowDoesNotEndTheApplication) {
    ASSERT_TRUE(QGuiApplication::quitOnLastWindowClosed());
    QSignalSpy lastWindowClosed(qApp, &QGuiApplication::lastWindowClosed);
    StandardUpdateDialogPresenter presenter;
    presenter.showFailed({UpdateCheckFailure::Reason::TimedOut, 0, {}});
    // Qt ends the application for its last window only while the event loop runs.
    QTimer::singleShot(0, qApp, [&] {
        presenter.currentDialog()->close();
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    });
    QCoreApplication::exec();
    EXPECT_TRUE(lastWindowClosed.isEmpty());
}

} // namespace
} // namespace zonkle

#include "standard_update_dialog_presenter_test.moc"
