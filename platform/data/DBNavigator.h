#pragma once

#include <QWidget>

class DataSource;
class QToolButton;

// The ten record buttons: first, prior, next, last, insert, delete, edit, post, cancel, refresh.
class DBNavigator : public QWidget
{
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh, ButtonCount };

    explicit DBNavigator(QWidget *parent = nullptr);
    void setDataSource(DataSource *ds);
    QToolButton *button(Button b) const { return m_buttons[b]; }

private:
    void attach();
    void press(Button b);
    void updateButtons();

    DataSource *m_source = nullptr;
    QMetaObject::Connection m_links[4];
    QToolButton *m_buttons[ButtonCount] = {};
};
