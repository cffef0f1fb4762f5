#include "OleContainer.h"

#include "OleClassRegistry.h"
#include "OleError.h"
#include "OleObject.h"

#include <QVBoxLayout>

OleContainer::OleContainer(QWidget *parent)
    : QWidget(parent), m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
}

OleContainer::~OleContainer()
{
    // The view may call into its object while it is torn down, so it goes first.
    dropObject();
}

void OleContainer::CreateObject(const QByteArray &progId, bool asIcon)
{
    if (asIcon)
        throw OleError(QStringLiteral("The container shows embedded objects as content only, not as an icon"));
    auto object = OleClassRegistry::instance().create(progId);
    dropObject();
    m_object = std::move(object);
    m_hasObject = true;
}

std::shared_ptr<OleObject> OleContainer::OleObjectInterface() const
{
    if (!m_hasObject)
        throw OleError(QStringLiteral("The container holds no object; create one first"));
    return m_object;
}

void OleContainer::DoVerb(int verb)
{
    if (verb != ShowVerb)
        throw OleError(QStringLiteral("The embedded object does not support verb %1").arg(verb));
    if (!m_hasObject || !m_object)
        throw OleError(QStringLiteral("The container holds no object that could be shown"));
    if (!m_view) {
        m_view = m_object->createView(this);
        m_layout->addWidget(m_view);
    }
    m_view->show();
}

QWidget *OleContainer::objectView() const
{
    return m_view;
}

void OleContainer::dropObject()
{
    delete m_view;
    m_view = nullptr;
    m_object.reset();
    m_hasObject = false;
}
