#include "qt/qt_serial_port.h"

#include <QSignalBlocker>

#include "link/serial_setup.h"

namespace skyrelay {

QtSerialPort::QtSerialPort() {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::OnReadyRead);
}

void QtSerialPort::OnReadyRead() {
  // Everything waiting is read at once, so no byte waits for a later arrival.
  const QByteArray data = port_.readAll();
  if (data.isEmpty() || !onReceived) return;
  onReceived(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()),
                                      static_cast<size_t>(data.size())));
}

bool QtSerialPort::Fail(const QString& what) {
  error_ = what.toStdString();
  return false;
}

bool QtSerialPort::Write(std::span<const uint8_t> bytes) {
  if (!port_.isOpen()) return Fail(QStringLiteral("Der Port ist nicht geöffnet."));
  const qint64 written =
      port_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  if (written != static_cast<qint64>(bytes.size())) return Fail(port_.errorString());
  port_.flush();
  return true;
}

bool QtSerialPort::ClearToSend() {
  if (!port_.isOpen()) return false;
  const QSerialPort::PinoutSignals pins = port_.pinoutSignals();
  if (port_.error() != QSerialPort::NoError) {
    // A port that cannot report its modem lines (a pseudo-terminal, some USB
    // adapters) never holds the sender back.
    port_.clearError();
    return true;
  }
  return pins.testFlag(QSerialPort::ClearToSendSignal);
}

bool QtSerialPort::SetPortName(const std::string& name) {
  const std::string device = PortDeviceForNumber(name);
  nameValid_ = !device.empty();
  if (!nameValid_) {
    return Fail(QStringLiteral("Ungültige Portangabe: \"%1\"").arg(QString::fromStdString(name)));
  }
  device_ = QString::fromStdString(device);
  port_.setPortName(device_);
  return true;
}

bool QtSerialPort::SetLineSettings(const LineSettings& s) {
  bool ok = port_.setBaudRate(s.baud);
  ok = port_.setDataBits(static_cast<QSerialPort::DataBits>(s.dataBits)) && ok;
  const QSerialPort::Parity parity = s.parity == 'e'   ? QSerialPort::EvenParity
                                     : s.parity == 'o' ? QSerialPort::OddParity
                                                       : QSerialPort::NoParity;
  ok = port_.setParity(parity) && ok;
  ok = port_.setStopBits(s.stopBits == 2 ? QSerialPort::TwoStop : QSerialPort::OneStop) && ok;
  ok = port_.setFlowControl(QSerialPort::NoFlowControl) && ok;
  return ok ? true : Fail(port_.errorString());
}

bool QtSerialPort::SetDtrRts(bool dtr, bool rts) {
  dtr_ = dtr;
  rts_ = rts;
  if (!port_.isOpen()) return true;
  if (!port_.setDataTerminalReady(dtr) || !port_.setRequestToSend(rts)) port_.clearError();
  return true;
}

std::string QtSerialPort::OpenErrorText(QSerialPort::SerialPortError error, const QString& device,
                                        const QString& systemText) {
  QString text;
  switch (error) {
    case QSerialPort::PermissionError:
      text = QStringLiteral(
                 "Keine Berechtigung für %1, oder der Port wird von einem anderen Programm "
                 "benutzt.\rAbhilfe: den Benutzer in die Gruppe dialout aufnehmen (sudo usermod "
                 "-aG dialout $USER, danach neu anmelden) und andere Programme am Port beenden.")
                 .arg(device);
      break;
    case QSerialPort::DeviceNotFoundError:
      text = QStringLiteral("Der Port %1 wurde nicht gefunden.").arg(device);
      break;
    case QSerialPort::OpenError:
      text = QStringLiteral("Der Port %1 ist bereits geöffnet oder belegt.").arg(device);
      break;
    default:
      text = QStringLiteral("Der Port %1 kann nicht geöffnet werden.").arg(device);
      break;
  }
  return (text + QStringLiteral("\r(") + systemText + QStringLiteral(")")).toStdString();
}

bool QtSerialPort::Open() {
  if (!nameValid_) return false;  // the port name's error stands
  if (port_.isOpen()) return true;
  if (!port_.open(QIODevice::ReadWrite)) {
    const QSerialPort::SerialPortError e = port_.error();
    error_ = OpenErrorText(e, device_, port_.errorString());
    port_.clearError();
    return false;
  }
  // Modem lines as chosen; a port without them (a pseudo-terminal) is fine.
  if (!port_.setDataTerminalReady(dtr_) || !port_.setRequestToSend(rts_)) port_.clearError();
  port_.clear();
  return true;
}

void QtSerialPort::Close() {
  if (port_.isOpen()) port_.close();
}

bool QtSerialPort::SetBreak(bool on) {
  if (!port_.setBreakEnabled(on)) return Fail(port_.errorString());
  return true;
}

size_t QtSerialPort::BytesWaiting() {
  if (!port_.isOpen()) return 0;
  if (port_.bytesAvailable() == 0) {
    // Read straight from the device without handing the bytes to the receive
    // handler; the short wait keeps a polling caller from spinning a core.
    const QSignalBlocker blocker(&port_);
    port_.waitForReadyRead(2);
  }
  return static_cast<size_t>(port_.bytesAvailable());
}

std::vector<uint8_t> QtSerialPort::Read(size_t maxBytes) {
  const QByteArray data =
      maxBytes == 0 ? port_.readAll() : port_.read(static_cast<qint64>(maxBytes));
  return std::vector<uint8_t>(data.begin(), data.end());
}

void QtSerialPort::DiscardOutput() {
  if (port_.isOpen()) port_.clear(QSerialPort::Output);
}

}  // namespace skyrelay
