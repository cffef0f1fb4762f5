#pragma once

#include <QWidget>

#include <memory>

namespace Ui { class frm_progress; }

// Progress of a long run: a small tool window with room for two bars and no way for the user to
// close it. Only the code that created it ends it, by deleting it.
class Tfrm_progress : public QWidget {
    Q_OBJECT
public:
    Tfrm_progress(QWidget *owner, const QString &caption);
    ~Tfrm_progress() override;

    // Shrinks the window from the top so that only the lower bar stays in view.
    void SingleBarLayout();
    // Lower minimum, lower maximum, upper minimum, upper maximum, in this order; a step that would
    // put a bar's maximum below its minimum throws std::runtime_error and the later steps are skipped.
    void SetRange(int min, int max);
    void SetPosition(int value);

protected:
    void closeEvent(QCloseEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void hangChildrenFromBottom();

    std::unique_ptr<Ui::frm_progress> ui;
    // Each child keeps its design distance from the bottom edge.
    struct BottomAnchor { QWidget *child; int bottomGap; };
    QList<BottomAnchor> m_anchors;
    int m_singleBarHeight = 0;   // the upper bar's design top plus its height
};
