#include "ModalWidget.h"

#include <QEventLoop>
#include <QPointer>

namespace {

ModalWidget::Answerer& installedAnswerer()
{
    static ModalWidget::Answerer answerer;
    return answerer;
}

} // namespace

ModalWidget::ModalWidget(QWidget* parent, Qt::WindowFlags flags) : QWidget(parent, flags) {}

ModalWidget::~ModalWidget()
{
    // A widget deleted while its exec() waits must release that loop; exec()
    // notices the deletion and does not touch the widget again.
    if (m_loop)
        m_loop->quit();
}

int ModalWidget::exec()
{
    // A second exec() on a widget that already runs one would nest forever.
    if (m_loop || m_answering)
        return 1;

    m_result = 1;
    m_finishedInExec = false;
    if (isHidden())
        QWidget::show();
    if (hasAnswerer()) {
        // Copy: the answerer may install another answerer while it runs.
        Answerer answerer = installedAnswerer();
        QPointer<ModalWidget> self(this);
        m_answering = true;
        const int answer = answerer(this);
        if (!self)
            return answer;
        m_answering = false;
        m_result = answer;
        hide();
        if (!m_finishedInExec)
            emit finished(answer);
        return answer;
    }

    QEventLoop loop;
    QPointer<ModalWidget> self(this);
    m_loop = &loop;
    loop.exec(QEventLoop::DialogExec);
    if (!self)
        return 1; // deleted while waiting: nobody confirmed
    m_loop = nullptr;
    hide();
    return m_result;
}

void ModalWidget::done(int result)
{
    m_result = result;
    m_finishedInExec = true;
    // Quit first: a receiver of finished() may delete this widget.
    if (m_loop)
        m_loop->quit();
    emit finished(result);
}

void ModalWidget::setAnswerer(Answerer answerer)
{
    installedAnswerer() = std::move(answerer);
}

bool ModalWidget::hasAnswerer()
{
    return static_cast<bool>(installedAnswerer());
}
