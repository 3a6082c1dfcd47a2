#pragma once

#include "DialogWindow.h"

class QLineEdit;

// A modal prompt for an access code. Its accept button is a Button named
// "button_accept"; typing is limited to the allowed characters and length.
class PasswordDialog : public DialogWindow
{
    Q_OBJECT

public:
    PasswordDialog(QWidget* parent, int maxLength, QString const& allowed, QString const& mask, bool flag);
    ~PasswordDialog() override;

    QString getPassword() const;
    // Types the text as a person would: characters that are not allowed are dropped.
    void typeText(QString const& text);

    // Shows the prompt with the focus in the field.
    void show() override;

private:
    QLineEdit* m_input = nullptr;
    QString m_allowed;
};
