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
  bool Lost() const override { return lost_; }
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
  PortFailure LastFailure() const override { return failure_; }

  // The system's error as a German text ("Der Port wurde nicht gefunden");
  // `busy` says that a permission error comes from another program holding it.
  static QString ErrorText(QSerialPort::SerialPortError error, bool busy = false);
  // The kind of an open failure, for the cause the user is told.
  static PortFailure FailureOf(QSerialPort::SerialPortError error, bool busy = false);
  // A German description of an open failure: what failed and what to do.
  // `holder` describes who holds a busy port ("Prozess 1234 (minicom)"), when known.
  static std::string OpenErrorText(QSerialPort::SerialPortError error, const QString& device,
                                   bool busy = false, const QString& holder = {});
  // Who has `device` open: the process holding its lock (/proc/locks), else the
  // one named by a lock file or having it open (/proc/*/fd); empty when the
  // system does not tell.
  static QString PortHolder(const QString& device);

 private:
  void OnReadyRead();
  void OnError(QSerialPort::SerialPortError error);
  // The device went away: the port closes and counts as lost.
  void MarkLost(const QString& why);
  bool Fail(const QString& what);
  // The port's own error, in German.
  bool FailWithPortError();

  QSerialPort port_;
  bool dtr_ = false;
  bool rts_ = false;
  bool nameValid_ = false;
  bool lost_ = false;
  QString device_;
  std::string error_;
  PortFailure failure_ = PortFailure::None;
};

}  // namespace skyrelay
