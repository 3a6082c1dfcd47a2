#include "PasswordDialog.h"

#include <QCoreApplication>
#include <QLineEdit>
#include <QRegularExpressionValidator>

namespace {

constexpr int kWidth = 400;
constexpr int kInputHeight = 36;

} // namespace

PasswordDialog::PasswordDialog(QWidget* parent, int maxLength, QString const& allowed, QString const& mask, bool flag)
    : DialogWindow(parent, nullptr), m_allowed(allowed)
{
    // The mask and the flag shape the host's on-screen keyboard, which this stand-in has not.
    Q_UNUSED(mask)
    Q_UNUSED(flag)

    m_input = new QLineEdit(this);
    m_input->setObjectName(QStringLiteral("password_input"));
    m_input->setEchoMode(QLineEdit::Password);
    m_input->setMaxLength(qMax(1, maxLength));
    if (!allowed.isEmpty()) {
        const QString pattern = QStringLiteral("[%1]*").arg(QRegularExpression::escape(allowed));
        m_input->setValidator(new QRegularExpressionValidator(QRegularExpression(pattern), m_input));
    }

    setGeometry(0, 0, kWidth, 0);
    m_input->setGeometry(margins(), getTopInnerElements(), kWidth - 2 * margins(), kInputHeight);
    setHeightInnerElements(kInputHeight);

    insertRejectButton(QCoreApplication::translate("Dialog", "Cancel"), false, true);
    // Default: Return in the field reaches the dialog, which clicks it.
    insertAcceptButton(QCoreApplication::translate("Dialog", "Ok"), true, true);
}

PasswordDialog::~PasswordDialog() = default;

QString PasswordDialog::getPassword() const
{
    return m_input->text();
}

void PasswordDialog::typeText(QString const& text)
{
    QString typed = m_input->text();
    for (QChar c : text) {
        if (typed.size() >= m_input->maxLength())
            break;
        if (m_allowed.isEmpty() || m_allowed.contains(c))
            typed += c;
    }
    m_input->setText(typed);
}

void PasswordDialog::show()
{
    DialogWindow::show();
    m_input->setFocus(Qt::OtherFocusReason);
}
