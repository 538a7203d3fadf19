#pragma once

// The main window as each test of it starts: in a fresh copy of the data folder's g, which a test may
// change or empty, with no draw made and the draw's seed chosen by the test (g_seed, 0 at the start).

#include "app/rununit1.h"
#include "divination/Spread.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <memory>

inline std::uint32_t g_seed = 0;

class MainWindowTest : public QObject {
protected:
    // Fails the current test when the copy cannot be made; the window is then not made either.
    void openWindow()
    {
        using namespace Qt::StringLiterals;
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        QVERIFY(QDir(m_dir->path()).mkdir(u"g"_s));
        const QDir data(QStringLiteral(ORMEX_DATA_DIR "/g"));
        for (const QString &name : data.entryList(QDir::Files))
            QVERIFY(QFile::copy(data.filePath(name), gPath(name)));
        QVERIFY(QDir::setCurrent(m_dir->path()));

        Spread = SpreadState{};
        g_seed = 0;
        g_seedClock = [] { return g_seed; };
        m_form = std::make_unique<Tform1>();
        m_form->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
    }
    void closeWindow()
    {
        m_form.reset();
        QDir::setCurrent(QDir::tempPath());
        m_dir.reset();
    }

    QString gPath(const QString &name) const { return m_dir->filePath(QStringLiteral("g/") + name); }
    QPoint centreOf(const QWidget *w) const { return w->mapTo(m_form.get(), w->rect().center()); }
    void click(QPoint formPos)
    {
        QTest::mouseClick(m_form->windowHandle(), Qt::LeftButton, Qt::NoModifier, formPos);
        QCoreApplication::processEvents();
    }
    void divine() { click(centreOf(m_form->abcRepSpeedBtn1)); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Tform1> m_form;
};
