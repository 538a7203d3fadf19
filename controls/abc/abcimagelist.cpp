#include "controls/abc/abcimagelist.h"

#include "controls/abc/abcglyphimages_p.h"

#include <QPainter>

using namespace abcglyph;

TChangeLink::~TChangeLink()
{
    if (m_sender)
        m_sender->UnRegisterChanges(this);
}

TabcImageList::TabcImageList(int width, int height) : m_width(width), m_height(height)
{
}

TabcImageList::~TabcImageList()
{
    // Subscribers may still point here: tell them before the list is gone.
    const std::vector<TChangeLink *> links = m_links;
    m_links.clear();
    for (TChangeLink *link : links) {
        link->m_sender = nullptr;
        if (link->onListDestroyed)
            link->onListDestroyed();
    }
}

QImage TabcImageList::fitted(const QImage &image) const
{
    QImage out = workBitmap(m_width, m_height, tk::clBlack);
    QPainter painter(&out);
    painter.drawImage(0, 0, image);
    return out;
}

int TabcImageList::Add(const QImage &image)
{
    m_images.push_back(fitted(image));
    changed();
    return Count() - 1;
}

void TabcImageList::Replace(int index, const QImage &image)
{
    if (index < 0 || index >= Count())
        return;
    m_images[size_t(index)] = fitted(image);
    changed();
}

void TabcImageList::Draw(QPainter &canvas, int index, QPoint at) const
{
    if (index >= 0 && index < Count())
        canvas.drawImage(at, m_images[size_t(index)]);
}

void TabcImageList::RegisterChanges(TChangeLink *link)
{
    if (!link || link->m_sender == this)
        return;
    if (link->m_sender)
        link->m_sender->UnRegisterChanges(link);
    link->m_sender = this;
    m_links.push_back(link);
}

void TabcImageList::UnRegisterChanges(TChangeLink *link)
{
    std::erase(m_links, link);
    if (link && link->m_sender == this)
        link->m_sender = nullptr;
}

void TabcImageList::changed()
{
    // A subscriber may unsubscribe while it is told.
    const std::vector<TChangeLink *> links = m_links;
    for (TChangeLink *link : links)
        if (std::find(m_links.begin(), m_links.end(), link) != m_links.end() && link->OnChange)
            link->OnChange();
}
