#pragma once

#include <QImage>
#include <QPoint>

#include <functional>
#include <vector>

class QPainter;

class TabcImageList;

// A subscription to an image list's change notices. The list forgets the link when the link goes, and
// the link hears of the list's end through onListDestroyed.
class TChangeLink {
public:
    TChangeLink() = default;
    TChangeLink(const TChangeLink &) = delete;
    TChangeLink &operator=(const TChangeLink &) = delete;
    ~TChangeLink();

    TabcImageList *Sender() const { return m_sender; }

    std::function<void()> OnChange;
    std::function<void()> onListDestroyed;

private:
    friend class TabcImageList;
    TabcImageList *m_sender = nullptr;
};

// An image list a button can pick its picture from (Images, ImageIndex): images of one fixed size.
class TabcImageList {
public:
    TabcImageList(int width, int height);
    TabcImageList(const TabcImageList &) = delete;
    TabcImageList &operator=(const TabcImageList &) = delete;
    ~TabcImageList();

    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Count() const { return int(m_images.size()); }
    const QImage &image(int index) const { return m_images.at(size_t(index)); }

    // Adds a copy of image, cropped or padded with black to the list's size; returns its index.
    int Add(const QImage &image);
    void Replace(int index, const QImage &image);
    void Draw(QPainter &canvas, int index, QPoint at) const;

    void RegisterChanges(TChangeLink *link);
    void UnRegisterChanges(TChangeLink *link);

private:
    void changed();
    QImage fitted(const QImage &image) const;

    int m_width, m_height;
    std::vector<QImage> m_images;
    std::vector<TChangeLink *> m_links;
};
