#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include "ui/standard_update_dialog_presenter.h"

namespace zonkle {
namespace {

using namespace Qt::Literals::StringLiterals;

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
    return shownDialog()->findChild<QLabel*>(u"heading"_s)->text() +
           shownDialog()->findChild<QLabel*>(u"body"_s)->text();
}

TEST(StandardUpdateDialogPresenter, failureNamesTheCauseAndHugeTextsAreCut) {
    StandardUpdateDialogPresenter presenter;
    presenter.showFailed({UpdateCheckFailure::Reason::ServerError, 503, u"line 3"_s});
    EXPECT_TRUE(shownText().contains(u"could not check"_s) && shownText().contains(u"503"_s) &&
                shownText().contains(u"line 3"_s))
        << shownText().toStdString();
    presenter.showFailed({UpdateCheckFailure::Reason::UnsafeRedirect, 0, QString(1'000'000, u'W')});
    EXPECT_LT(shownText().size(), 1000);
    EXPECT_LT(shownDialog()->width(), 1000);
    presenter.showUpdateAvailable({QString(1'000'000, u'W'), u"0.1.0"_s, {}, {}});
    EXPECT_LT(shownDialog()->width(), 1000);
    EXPECT_EQ(shownDialog()->findChild<QPushButton*>(u"downloadButton"_s), nullptr); // no safe link, no button
}

TEST(StandardUpdateDialogPresenter, cancelCallsBackOnceAndClosingNeverEndsTheApplication) {
    StandardUpdateDialogPresenter presenter;
    int cancels = 0;
    // The controller's cancel dismisses the dialog from inside the dialog's own signal.
    presenter.showChecking([&] {
        ++cancels;
        presenter.dismiss();
    });
    shownDialog()->findChild<QPushButton*>(u"cancelButton"_s)->click();
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
