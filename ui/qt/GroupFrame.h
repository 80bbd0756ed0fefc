// A group box drawn as the system draws it: an etched frame whose top line runs through the
// middle of the title, so that controls placed just below the title stay clear of the frame.
#pragma once

#include <QString>
#include <QWidget>

namespace qtui {

class CGroupFrame final : public QWidget {
public:
    CGroupFrame(const QString& title, QWidget* pParent);

    QString Title() const { return m_title; }
    void SetTitle(const QString& title);

protected:
    void paintEvent(QPaintEvent* pEvent) override;

private:
    QString m_title;
};

}  // namespace qtui
