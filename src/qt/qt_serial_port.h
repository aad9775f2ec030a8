// The real serial port, on Qt SerialPort.
#pragma once

#include <QObject>
#include <QSerialPort>
#include <functional>
#include <span>

#include "core/host.h"

namespace skyrelay {

class QtSerialPort : public QObject, public SerialPort {
  Q_OBJECT
 public:
  QtSerialPort();

  // Called with everything received, on every receive notification.
  std::function<void(std::span<const uint8_t>)> onReceived;

  bool IsOpen() const override { return port_.isOpen(); }
  bool Write(std::span<const uint8_t> bytes) override;
  bool ClearToSend() override;
  bool SetPortName(const std::string& name) override;
  bool SetLineSettings(const LineSettings& settings) override;
  bool SetDtrRts(bool dtr, bool rts) override;
  bool Open() override;
  void Close() override;
  bool SetBreak(bool on) override;
  size_t BytesWaiting() override;
  std::vector<uint8_t> Read(size_t maxBytes) override;
  void DiscardOutput() override;
  std::string LastError() const override { return error_; }

  // A German description of an open failure, keeping the system's own text.
  static std::string OpenErrorText(QSerialPort::SerialPortError error, const QString& device,
                                   const QString& systemText);

 private:
  void OnReadyRead();
  bool Fail(const QString& what);

  QSerialPort port_;
  bool dtr_ = false;
  bool rts_ = false;
  bool nameValid_ = false;
  QString device_;
  std::string error_;
};

}  // namespace skyrelay
