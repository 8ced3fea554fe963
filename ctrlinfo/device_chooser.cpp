#include "ctrlinfo/device_chooser.h"

#include "ctrlinfo/config_settings.h"
#include "ctrlinfo/device_models.h"
#include "link/messages.h"
#include "ui/message_box.h"
#include "ui/worker_runner.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>

namespace zm {

DeviceChooser::DeviceChooser(QWidget *window, LinkSession &session, const Widgets &widgets)
    : QObject(window)
    , m_window(window)
    , m_session(session)
    , m_settings(ConfigSettings::of(session))
    , m_w(widgets)
{
    {
        const QSignalBlocker b1(m_w.device), b2(m_w.size);
        m_w.device->addItems(ctrlInfoDeviceTexts());
        m_w.size->addItems(deviceSizeTexts());
    }
    connect(m_w.device, &QComboBox::currentIndexChanged, this, &DeviceChooser::deviceChosen);
    connect(m_w.size, &QComboBox::currentIndexChanged, this, &DeviceChooser::sizeChosen);
    connect(m_w.model, &QComboBox::currentIndexChanged, this, &DeviceChooser::modelChosen);
    if (m_w.checkFlash)
        connect(m_w.checkFlash, &QPushButton::clicked, this, &DeviceChooser::checkFlashType);
}

int DeviceChooser::modelIndex() const
{
    return qMax(0, m_w.model->currentIndex());
}

void DeviceChooser::show(bool chooseModel)
{
    {
        const QSignalBlocker block(m_w.device);
        m_w.device->setCurrentIndex(int(m_settings.ctrlInfoDevice()));
    }
    const int model = m_settings.ctrlInfoDevice() == CtrlInfoDevice::None ? 0 : m_settings.matchingModel();
    if (chooseModel && m_settings.ctrlInfoDevice() != CtrlInfoDevice::None)
        m_settings.chooseModel(model);
    fillModels(model);
    showSize();
}

void DeviceChooser::deviceChosen(int index)
{
    const int model = m_settings.chooseDevice(ctrlInfoDeviceFrom(index));
    fillModels(model);
    showSize();
    emit changed();
}

void DeviceChooser::modelChosen(int index)
{
    if (index < 0)
        return;
    m_settings.chooseModel(index);
    showSize();
    emit changed();
}

void DeviceChooser::sizeChosen(int index)
{
    if (index < 0)
        return;
    const int model = m_settings.chooseSize(index);
    const QSignalBlocker block(m_w.model);
    m_w.model->setCurrentIndex(model);
    emit changed();
}

void DeviceChooser::fillModels(int model)
{
    const CtrlInfoDevice device = m_settings.ctrlInfoDevice();
    const bool located = device != CtrlInfoDevice::None;
    {
        const QSignalBlocker block(m_w.model);
        m_w.model->clear();
        m_w.model->addItems(located ? modelTexts(device) : QStringList{QString::fromLatin1(kUnknowModel)});
        m_w.model->setCurrentIndex(model);
    }
    m_w.model->setEnabled(located);
    m_w.size->setEnabled(located);
    if (m_w.checkFlash)
        m_w.checkFlash->setEnabled(device == CtrlInfoDevice::SpiFlash);
}

void DeviceChooser::showSize()
{
    // A flash larger than the list's last size shows no entry rather than a wrong one.
    const QSignalBlocker block(m_w.size);
    m_w.size->setCurrentIndex(deviceSizeIndex(m_settings.deviceSize()));
}

void DeviceChooser::checkCtrlInfoDevice()
{
    WorkerRunner::start(m_window, m_session, [this](Worker &w) {
        QString error;
        const CtrlInfoDevice found = LocateCtrlInfo(w.commands(), error);
        if (found == CtrlInfoDevice::None && !w.session().portLost())
            w.message(error);
        w.gui([this, found] {
            const QSignalBlocker block(m_w.device);
            m_w.device->setCurrentIndex(int(found));
            deviceChosen(int(found));
        });
    });
}

void DeviceChooser::checkFlashType()
{
    const QString notFlash = QString::fromLatin1(msg::kChooseSpiFlashFirst);
    if (m_settings.ctrlInfoDevice() != CtrlInfoDevice::SpiFlash) {
        showMessage(m_window, notFlash);
        return;
    }
    WorkerRunner::start(m_window, m_session, [this, notFlash](Worker &w) {
        // Another window may have chosen another memory since the press.
        if (m_settings.ctrlInfoDevice() != CtrlInfoDevice::SpiFlash)
            return void(w.message(notFlash));
        QString error;
        const int model = CheckFlashType(w.commands(), error);
        if (model < 0) {
            if (!w.session().portLost())
                w.message(error);
            return;
        }
        w.gui([this, model] {
            fillModels(model);
            showSize();
            emit changed();
        });
    });
}

} // namespace zm
