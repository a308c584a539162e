#include <gtest/gtest.h>

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include "ui/standard_update_dialog_presenter.h"

namespace zonkle {
namespace {

using namespace Qt::Literals::StringLiterals;

// Receives what QDesktopServices would hand to the browser.
class OpenedUrls final : public QObject {
    Q_OBJECT

public:
    OpenedUrls() { QDesktopServices::setUrlHandler(u"https"_s, this, "open"); }
    ~OpenedUrls() override { QDesktopServices::unsetUrlHandler(u"https"_s); }

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

TEST(StandardUpdateDialogPresenter, opensTheUpdatesPagesInTheBrowserWithoutBlocking) {
    OpenedUrls browser;
    StandardUpdateDialogPresenter presenter;
    const QUrl notes(u"https://example.org/notes"_s), download(u"https://example.org/download"_s);
    presenter.showUpdateAvailable({u"0.2.0"_s, u"0.1.0"_s, notes, download});
    EXPECT_EQ(shownDialog()->windowModality(), Qt::NonModal);
    EXPECT_TRUE(shownText().contains(u"0.2.0"_s));
    button("releaseNotesButton")->click();
    button("downloadButton")->click(); // the release notes leave the dialog open
    EXPECT_EQ(shownDialog(), nullptr);
    EXPECT_EQ(browser.urls, (QList{notes, download}));
}

TEST(StandardUpdateDialogPresenter, failureNamesTheCauseAndHugeTextsAreCut) {
    using Reason = UpdateCheckFailure::Reason;
    StandardUpdateDialogPresenter presenter;
    for (int reason = 0; reason <= static_cast<int>(Reason::InvalidFeed); ++reason) {
        presenter.showFailed({static_cast<Reason>(reason), 503, u"line 3"_s});
        const QString text = shownText();
        SCOPED_TRACE(text.toStdString());
        EXPECT_TRUE(text.contains(u"could not check"_s) && text.contains(u"line 3"_s));
        EXPECT_FALSE(text.contains(u"up to date"_s, Qt::CaseInsensitive));
        EXPECT_EQ(text.contains(u"503"_s), static_cast<Reason>(reason) == Reason::ServerError);
    }
    presenter.showFailed({Reason::UnsafeRedirect, 0, QString(1'000'000, u'W')});
    EXPECT_LT(shownText().size(), 1000);
    EXPECT_LT(shownDialog()->width(), 1000);
    presenter.showUpdateAvailable({QString(1'000'000, u'W'), u"0.1.0"_s, {}, {}});
    EXPECT_LT(shownDialog()->width(), 1000);
    EXPECT_EQ(button("downloadButton"), nullptr); // no safe link, no button
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
    presenter.showUpToDate(u"0.1.0"_s);
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
