#include "ctrlinfo/config_settings.h"

#include "ctrlinfo/device_models.h"
#include "ctrlinfo/divisors.h"
#include "link/link_session.h"
#include "link/failure_text.h"
#include "link/messages.h"

#include <map>
#include <memory>
#include <mutex>

namespace zm {

namespace {

// The settings of each live link session. A program has one session; tests make many, one after
// another, and each starts from the built-in values. An entry goes with its session.
std::mutex g_mutex;
std::map<const LinkSession *, std::unique_ptr<ConfigSettings>> g_settings;

} // namespace

ConfigSettings &ConfigSettings::of(LinkSession &session)
{
    std::lock_guard lock(g_mutex);
    auto &slot = g_settings[&session];
    if (!slot) {
        slot = std::make_unique<ConfigSettings>(session);
        QObject::connect(&session, &QObject::destroyed, [key = &session] {
            std::lock_guard lock(g_mutex);
            g_settings.erase(key);
        });
    }
    return *slot;
}

ConfigSettings::ConfigSettings(LinkSession &session)
    : m_session(session)
{
}

int ConfigSettings::commDevice() const { return m_session.settings().pcUart; }
void ConfigSettings::setCommDevice(int device)
{
    m_session.updateSettings([device](LinkSettings &s) { s.pcUart = device == 2 ? 2 : 1; });
}
uint8_t ConfigSettings::currentSerial() const { return m_session.settings().serial; }
void ConfigSettings::setCurrentSerial(uint8_t serial)
{
    m_session.updateSettings([serial](LinkSettings &s) { s.serial = serial; });
}
int ConfigSettings::pageSize() const { return m_session.settings().pageSize; }
void ConfigSettings::setPageSize(int bytes)
{
    m_session.updateSettings([bytes](LinkSettings &s) { s.pageSize = bytes > 0 ? bytes : 1; });
}

void ConfigSettings::chooseMcu(int clockIndex, int baudIndex)
{
    m_uartClock = clockIndex;
    m_mcuBaud = baudIndex;
    m_mcuValue = mcuUartValue(clockIndex, baudIndex);
}

void ConfigSettings::chooseHighSpeed(int baudIndex)
{
    m_hsBaud = baudIndex;
    const HighSpeedDivisor d = highSpeedDivisor(baudIndex);
    setHighSpeedValues(d.frac, d.inter);
}

void ConfigSettings::setHighSpeedValues(uint16_t frac, uint16_t inter)
{
    m_frac = frac;
    m_inter = inter;
}

void ConfigSettings::chooseSpi(int clockIndex, int rateIndex)
{
    m_spiClock = clockIndex;
    m_spiBaud = rateIndex;
    setSpiValues(zm::spiDivider(clockIndex, rateIndex), kSpiSs);
}

void ConfigSettings::setSpiValues(uint16_t divider, uint16_t ss)
{
    m_divider = divider;
    m_ss = ss;
}

int ConfigSettings::matchingModel() const
{
    return modelForSize(ctrlInfoDevice(), deviceSize());
}

int ConfigSettings::chooseDevice(CtrlInfoDevice device)
{
    setCtrlInfoDevice(device);
    if (device == CtrlInfoDevice::None) {
        setPageSize(1);
        return 0;
    }
    const int index = matchingModel();
    chooseModel(index);
    return index;
}

void ConfigSettings::chooseModel(int index)
{
    const DeviceModel *m = model(ctrlInfoDevice(), index);
    if (!m) {
        setPageSize(1);
        return;
    }
    setDeviceSize(m->size);
    if (m->pageSize > 0)
        setPageSize(m->pageSize);
}

int ConfigSettings::chooseSize(int sizeIndex)
{
    if (sizeIndex < 0 || sizeIndex >= kDeviceSizeCount)
        return matchingModel();
    setDeviceSize(deviceSizeAt(sizeIndex));
    const int index = matchingModel();
    chooseModel(index);
    return index;
}

int ConfigSettings::chooseFlashSize(uint32_t kilobits)
{
    // Whole kilobytes, as the chip's own tools count them: 1000 kilobits are 128,000 bytes.
    setDeviceSize(uint32_t(qMin<quint64>(quint64(kilobits / 8) * 1024, UINT32_MAX)));
    const int index = matchingModel();
    chooseModel(index);
    return index;
}

int CheckFlashType(Commands &c, QString &error)
{
    uint32_t kilobits = 0;
    if (const uint8_t r = c.getFlashSize(kilobits)) {
        error = failureText(c.session(), r);
        return -1;
    }
    if (kilobits == 0) {
        error = QString::fromLatin1(msg::kUnknowFlashType);
        return -1;
    }
    return ConfigSettings::of(c.session()).chooseFlashSize(kilobits);
}

} // namespace zm
