#pragma once
#include <QByteArray>
#include <QWidget>

#include <memory>

class OleObject;
class QVBoxLayout;

// Hosts one embedded object, created from a program identifier, and shows its view filling the
// container.
class OleContainer : public QWidget {
    Q_OBJECT
public:
    static constexpr int ShowVerb = -1;

    explicit OleContainer(QWidget *parent = nullptr);
    ~OleContainer() override;

    // Replaces any object held before. Throws OleError for an unknown identifier and when asked
    // for an icon, which this container does not draw.
    void CreateObject(const QByteArray &progId, bool asIcon);

    // The automation object (nullptr when the class offers none). Throws OleError when no object
    // was created.
    std::shared_ptr<OleObject> OleObjectInterface() const;

    // ShowVerb creates the object's view on first use and shows it. Throws OleError for other verbs
    // and when the container holds no object.
    void DoVerb(int verb);

    // The object's view once shown, else nullptr.
    QWidget *objectView() const;

private:
    void dropObject();

    bool m_hasObject = false;
    std::shared_ptr<OleObject> m_object;
    QWidget *m_view = nullptr;
    QVBoxLayout *m_layout = nullptr;
};
