#include "standard_update_dialog_presenter.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

namespace zonkle {

namespace {

constexpr int iconSize = 48;
constexpr int textWidth = 360;
// A text from outside is cut to this many characters before it is laid out.
constexpr qsizetype maxOutsideTextLength = 400;

QString bounded(const QString& text) {
    return text.size() > maxOutsideTextLength ? text.left(maxOutsideTextLength - 1) + u'\u2026' : text;
}

QString reasonText(const UpdateCheckFailure& failure) {
    using Reason = UpdateCheckFailure::Reason;
    switch (failure.reason) {
    case Reason::Unreachable:
        return StandardUpdateDialogPresenter::tr(
            "The update server could not be reached. Check your internet connection and try again later.");
    case Reason::InsecureConnection:
        return StandardUpdateDialogPresenter::tr(
            "The update server's identity could not be verified, so the connection was not trusted.");
    case Reason::ServerError:
        return StandardUpdateDialogPresenter::tr("The update server answered with error %1.").arg(failure.httpStatus);
    case Reason::TimedOut:
        return StandardUpdateDialogPresenter::tr("The update server took too long to answer.");
    case Reason::TooLarge:
        return StandardUpdateDialogPresenter::tr(
            "The update server sent far more data than expected, so the answer was discarded.");
    case Reason::UnsafeRedirect:
        return StandardUpdateDialogPresenter::tr(
            "The update server sent Zonkle to an address that is not secure, so it was not followed.");
    case Reason::TooManyRedirects:
        return StandardUpdateDialogPresenter::tr(
            "The update server sent Zonkle from one address to the next too many times.");
    case Reason::InvalidFeed:
        return StandardUpdateDialogPresenter::tr("The update information from the server could not be read.");
    }
    return {};
}

// One or two sentences for the user, without jargon, and the technical cause if there is one.
QString describe(const UpdateCheckFailure& failure) {
    const QString reason = reasonText(failure);
    if (failure.detail.isEmpty()) {
        return reason;
    }
    return StandardUpdateDialogPresenter::tr("%1\n\nDetails: %2").arg(reason, bounded(failure.detail));
}

// A heading, a sentence or two and a button row. Texts are plain, so nothing from the feed
// is ever taken for markup.
QDialog* makeDialog(QStyle::StandardPixmap icon, const QString& heading, const QString& body) {
    auto* dialog = new QDialog;
    dialog->setWindowTitle(StandardUpdateDialogPresenter::tr("Zonkle Updates"));

    auto* iconLabel = new QLabel;
    iconLabel->setPixmap(dialog->style()->standardIcon(icon).pixmap(iconSize, iconSize));
    iconLabel->setAlignment(Qt::AlignTop);

    auto* headingLabel = new QLabel;
    headingLabel->setObjectName(QStringLiteral("heading"));
    headingLabel->setTextFormat(Qt::PlainText);
    QFont headingFont = headingLabel->font();
    headingFont.setBold(true);
    headingLabel->setFont(headingFont);
    headingLabel->setText(QFontMetrics(headingFont).elidedText(heading, Qt::ElideMiddle, textWidth));

    auto* bodyLabel = new QLabel(body);
    // Wrapping breaks only between words; an overlong word is clipped, never widening the dialog.
    bodyLabel->setObjectName(QStringLiteral("body"));
    bodyLabel->setTextFormat(Qt::PlainText);
    bodyLabel->setWordWrap(true);
    bodyLabel->setFixedWidth(textWidth);
    bodyLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* texts = new QVBoxLayout;
    texts->addWidget(headingLabel);
    texts->addWidget(bodyLabel);
    texts->addStretch();

    auto* row = new QHBoxLayout;
    row->addWidget(iconLabel);
    row->addLayout(texts, 1);

    auto* buttons = new QDialogButtonBox;
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);

    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(row);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    return dialog;
}

QDialogButtonBox* buttonsOf(QDialog* dialog) {
    return dialog->findChild<QDialogButtonBox*>();
}

QPushButton* addButton(QDialog* dialog, const QString& text, QDialogButtonBox::ButtonRole role, const QString& name) {
    QPushButton* button = buttonsOf(dialog)->addButton(text, role);
    button->setObjectName(name);
    return button;
}

void addOpenButton(QDialog* dialog, const QString& text, QDialogButtonBox::ButtonRole role, const QString& name,
                   const QUrl& url) {
    QObject::connect(addButton(dialog, text, role, name), &QPushButton::clicked, dialog,
                     [url] { QDesktopServices::openUrl(url); });
}

} // namespace

StandardUpdateDialogPresenter::~StandardUpdateDialogPresenter() {
    delete current.data();
}

void StandardUpdateDialogPresenter::showChecking(std::function<void()> onCancel) {
    QDialog* dialog = makeDialog(QStyle::SP_BrowserReload, tr("Checking for updates…"),
                                 tr("Zonkle is asking its web site whether a newer version is available."));
    auto* busy = new QProgressBar;
    busy->setRange(0, 0);
    busy->setTextVisible(false);
    static_cast<QVBoxLayout*>(dialog->layout())->insertWidget(1, busy);
    addButton(dialog, tr("Cancel"), QDialogButtonBox::RejectRole, QStringLiteral("cancelButton"));
    // Escape and the window's close button reject as well; each means cancel. A dialog that
    // is dismissed by the next call is disconnected first and never calls back.
    QObject::connect(dialog, &QDialog::rejected, dialog, [onCancel = std::move(onCancel)] {
        if (onCancel) {
            onCancel();
        }
    });
    present(dialog);
}

void StandardUpdateDialogPresenter::showUpToDate(const QString& runningVersion) {
    QDialog* dialog = makeDialog(QStyle::SP_MessageBoxInformation, tr("Zonkle is up to date."),
                                 tr("You are running version %1, the newest one available.").arg(runningVersion));
    addButton(dialog, tr("OK"), QDialogButtonBox::AcceptRole, QStringLiteral("closeButton"));
    present(dialog);
}

void StandardUpdateDialogPresenter::showUpdateAvailable(const AvailableUpdate& update) {
    const QString body =
        update.downloadPage.isEmpty()
            ? tr("You are running version %1. The update server gave no secure download address, so get the "
                 "new version wherever you got Zonkle.")
                  .arg(update.runningVersion)
            : tr("You are running version %1. Download the new version from its web page and install it the "
                 "way you installed Zonkle.")
                  .arg(update.runningVersion);
    QDialog* dialog =
        makeDialog(QStyle::SP_MessageBoxInformation, tr("Zonkle %1 is available.").arg(bounded(update.version)), body);
    if (!update.downloadPage.isEmpty()) {
        addOpenButton(dialog, tr("Open Download Page"), QDialogButtonBox::AcceptRole, QStringLiteral("downloadButton"),
                      update.downloadPage);
    }
    if (!update.releaseNotesLink.isEmpty()) {
        // An action button leaves the dialog open, so the download stays one click away.
        addOpenButton(dialog, tr("Release Notes"), QDialogButtonBox::ActionRole, QStringLiteral("releaseNotesButton"),
                      update.releaseNotesLink);
    }
    addButton(dialog, tr("Not Now"), QDialogButtonBox::RejectRole, QStringLiteral("closeButton"));
    present(dialog);
}

void StandardUpdateDialogPresenter::showFailed(const UpdateCheckFailure& failure) {
    QDialog* dialog =
        makeDialog(QStyle::SP_MessageBoxWarning, tr("Zonkle could not check for updates."), describe(failure));
    addButton(dialog, tr("OK"), QDialogButtonBox::AcceptRole, QStringLiteral("closeButton"));
    present(dialog);
}

void StandardUpdateDialogPresenter::dismiss() {
    if (!current) {
        return;
    }
    // May run inside one of the dialog's own signals (a cancel), so it is deleted later.
    current->disconnect(current, &QDialog::rejected, nullptr, nullptr);
    current->hide();
    current->deleteLater();
    current = nullptr;
}

void StandardUpdateDialogPresenter::present(QDialog* dialog) {
    dismiss();
    // The application lives in the tray; its last window closing must not end it.
    dialog->setAttribute(Qt::WA_QuitOnClose, false);
    QObject::connect(dialog, &QDialog::finished, dialog, &QObject::deleteLater);
    current = dialog;
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}

} // namespace zonkle
