#include "qt/qt_serial_port.h"

#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSignalBlocker>

#include "core/translate.h"
#include "link/serial_setup.h"

namespace skyrelay {

QtSerialPort::QtSerialPort() {
  connect(&port_, &QSerialPort::readyRead, this, &QtSerialPort::OnReadyRead);
  connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialPort::OnError);
}

void QtSerialPort::OnReadyRead() {
  // Everything waiting is read at once, so no byte waits for a later arrival.
  const QByteArray data = port_.readAll();
  if (data.isEmpty() && port_.error() != QSerialPort::NoError) {
    // A notification with nothing to read: the line hung up (end of file).
    MarkLost(QString::fromStdString(Tr("Port", "Leitung getrennt")));
    return;
  }
  if (data.isEmpty() || !onReceived) return;
  onReceived(std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(data.constData()),
                                      static_cast<size_t>(data.size())));
}

void QtSerialPort::OnError(QSerialPort::SerialPortError error) {
  // The system's own text is often a left-over of an earlier call ("Inappropriate
  // ioctl for device"); the kind of error says more.
  switch (error) {
    case QSerialPort::ResourceError:
      if (port_.isOpen())
        MarkLost(QString::fromStdString(Tr("Port", "Gerät entfernt oder Leitung getrennt")));
      break;
    case QSerialPort::ReadError:
      if (port_.isOpen()) MarkLost(QString::fromStdString(Tr("Port", "Lesefehler")));
      break;
    case QSerialPort::WriteError:
      if (port_.isOpen()) MarkLost(QString::fromStdString(Tr("Port", "Schreibfehler")));
      break;
    default:
      break;
  }
}

void QtSerialPort::MarkLost(const QString& why) {
  // Closed at once: a dead device left open keeps the event loop busy with its
  // never-ending read notifications.
  lost_ = true;
  error_ = why.toStdString();
  if (port_.isOpen()) port_.close();
  port_.clearError();
}

bool QtSerialPort::Fail(const QString& what) {
  error_ = what.toStdString();
  failure_ = PortFailure::Other;
  return false;
}

bool QtSerialPort::FailWithPortError() {
  const QSerialPort::SerialPortError e = port_.error();
  port_.clearError();
  Fail(ErrorText(e));
  failure_ = FailureOf(e);
  return false;
}

QString QtSerialPort::ErrorText(QSerialPort::SerialPortError error, bool busy) {
  switch (error) {
    case QSerialPort::NoError:
      return QString::fromStdString(Tr("Port", "Kein Fehler"));
    case QSerialPort::DeviceNotFoundError:
      return QString::fromStdString(Tr("Port", "Der Port wurde nicht gefunden"));
    case QSerialPort::PermissionError:
      return busy ? QString::fromStdString(Tr("Port", "Der Port wird schon benutzt"))
                  : QString::fromStdString(Tr("Port", "Keine Berechtigung für den Port"));
    case QSerialPort::OpenError:
      return QString::fromStdString(Tr("Port", "Der Port ist schon geöffnet"));
    case QSerialPort::NotOpenError:
      return QString::fromStdString(Tr("Port", "Der Port ist nicht geöffnet"));
    case QSerialPort::TimeoutError:
      return QString::fromStdString(Tr("Port", "Zeitüberschreitung am Port"));
    case QSerialPort::WriteError:
      return QString::fromStdString(Tr("Port", "Fehler beim Schreiben auf den Port"));
    case QSerialPort::ReadError:
      return QString::fromStdString(Tr("Port", "Fehler beim Lesen vom Port"));
    case QSerialPort::ResourceError:
      return QString::fromStdString(Tr("Port", "Das Gerät ist nicht mehr verfügbar oder belegt"));
    case QSerialPort::UnsupportedOperationError:
      return QString::fromStdString(Tr("Port", "Der Port kann das nicht"));
    default:
      return QString::fromStdString(Tr("Port", "Unbekannter Fehler am Port"));
  }
}

PortFailure QtSerialPort::FailureOf(QSerialPort::SerialPortError error, bool busy) {
  switch (error) {
    case QSerialPort::NoError:
      return PortFailure::None;
    case QSerialPort::DeviceNotFoundError:
      return PortFailure::NotFound;
    case QSerialPort::PermissionError:
      return busy ? PortFailure::InUse : PortFailure::NoPermission;
    case QSerialPort::OpenError:
      return PortFailure::InUse;
    default:
      return PortFailure::Other;
  }
}

bool QtSerialPort::Write(std::span<const uint8_t> bytes) {
  if (!port_.isOpen())
    return Fail(QString::fromStdString(Tr("Port", "Der Port ist nicht geöffnet.")));
  const qint64 written =
      port_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
  if (written != static_cast<qint64>(bytes.size())) {
    MarkLost(QString::fromStdString(Tr("Port", "Schreibfehler")));
    return false;
  }
  // The bytes go out now; a device that has gone away fails here (and reports it
  // through errorOccurred, which closes the port).
  if (!port_.flush() && !port_.isOpen()) return false;
  return port_.isOpen();
}

bool QtSerialPort::ClearToSend() {
  if (!port_.isOpen()) return false;
  const QSerialPort::PinoutSignals pins = port_.pinoutSignals();
  switch (port_.error()) {
    case QSerialPort::NoError:
      return pins.testFlag(QSerialPort::ClearToSendSignal);
    case QSerialPort::ResourceError:
    case QSerialPort::ReadError:
    case QSerialPort::WriteError:
      MarkLost(QString::fromStdString(Tr("Port", "Gerät entfernt oder Leitung getrennt")));
      return false;
    default:
      // A port that cannot report its modem lines (a pseudo-terminal, some USB
      // adapters) never holds the sender back.
      port_.clearError();
      return true;
  }
}

bool QtSerialPort::SetPortName(const std::string& name) {
  const std::string device = PortDeviceForNumber(name);
  nameValid_ = !device.empty();
  if (!nameValid_) {
    return Fail(QString::fromStdString(Tr("Port", "Ungültige Portangabe: \"%1\""))
                    .arg(QString::fromStdString(name)));
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
  return ok ? true : FailWithPortError();
}

bool QtSerialPort::SetDtrRts(bool dtr, bool rts) {
  dtr_ = dtr;
  rts_ = rts;
  if (!port_.isOpen()) return true;
  if (!port_.setDataTerminalReady(dtr) || !port_.setRequestToSend(rts)) port_.clearError();
  return true;
}

namespace {

QString ProcessName(const QString& pid) {
  QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
  QString name;
  if (comm.open(QIODevice::ReadOnly)) name = QString::fromLocal8Bit(comm.readAll()).trimmed();
  return name.isEmpty() ? QString::fromStdString(Tr("Port", "Prozess %1")).arg(pid)
                        : QString::fromStdString(Tr("Port", "Prozess %1 (%2)")).arg(pid, name);
}

// The process holding a whole-file lock (flock) on the file `st` describes,
// from /proc/locks: "1: FLOCK  ADVISORY  WRITE 1234 00:18:3 0 EOF", major and
// minor of the file system in hex, then the inode. Empty when none is found.
QString FlockHolder(const struct stat& st, const QString& self) {
  QFile locks(QStringLiteral("/proc/locks"));
  if (!locks.open(QIODevice::ReadOnly)) return {};
  const QString file = QStringLiteral("%1:%2:%3")
                           .arg(major(st.st_dev), 2, 16, QLatin1Char('0'))
                           .arg(minor(st.st_dev), 2, 16, QLatin1Char('0'))
                           .arg(static_cast<qulonglong>(st.st_ino));
  for (const QByteArray& line : locks.readAll().split('\n')) {
    const QStringList f = QString::fromLatin1(line).simplified().split(QLatin1Char(' '));
    // A waiting lock ("1: -> FLOCK ...") is nobody's yet.
    if (f.size() < 6 || f[1] != QLatin1String("FLOCK")) continue;
    bool number = false;
    if (f[4].toLong(&number) <= 0 || !number || f[4] == self) continue;
    if (f[5].compare(file, Qt::CaseInsensitive) == 0) return f[4];
  }
  return {};
}

}  // namespace

QString QtSerialPort::PortHolder(const QString& device) {
  const QString target = QFileInfo(device).canonicalFilePath();
  if (target.isEmpty()) return {};
  const QString self = QString::number(::getpid());
  // A program of this kind locks the device itself, whatever name it opened it by.
  struct stat st {};
  if (::stat(target.toLocal8Bit().constData(), &st) == 0) {
    if (const QString pid = FlockHolder(st, self); !pid.isEmpty()) return ProcessName(pid);
  }
  // A program that locked the port the usual way left its number in a lock file
  // ("LCK..ttyUSB0", "LCK..pts_3").
  QString lockName = device;
  if (lockName.startsWith(QStringLiteral("/dev/"))) lockName.remove(0, 5);
  lockName.replace(QLatin1Char('/'), QLatin1Char('_'));
  for (const char* folder :
       {"/var/lock", "/run/lock", "/var/spool/locks", "/var/spool/uucp", "/tmp", "/var/tmp"}) {
    QFile lock(QStringLiteral("%1/LCK..%2").arg(QLatin1String(folder), lockName));
    if (!lock.open(QIODevice::ReadOnly)) continue;
    const QString pid = QString::fromLatin1(lock.readLine()).trimmed();
    bool number = false;
    pid.toLong(&number);
    if (number && pid != self && QFileInfo::exists(QStringLiteral("/proc/") + pid)) {
      return ProcessName(pid);
    }
  }
  // Otherwise: whoever has the device open.
  const QStringList pids =
      QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
  for (const QString& pid : pids) {
    bool number = false;
    pid.toLong(&number);
    if (!number || pid == self) continue;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::Files | QDir::System)) {
      if (fd.symLinkTarget() == target) return ProcessName(pid);
    }
  }
  return {};
}

std::string QtSerialPort::OpenErrorText(QSerialPort::SerialPortError error, const QString& device,
                                        bool busy, const QString& holder) {
  QString text;
  switch (error) {
    case QSerialPort::PermissionError:
      if (busy) {
        text = holder.isEmpty()
                   ? QString::fromStdString(
                         Tr("Port",
                            "Der Port %1 wird von einem anderen Programm benutzt.\rAbhilfe: "
                            "das andere Programm beenden."))
                         .arg(device)
                   : QString::fromStdString(
                         Tr("Port",
                            "Der Port %1 wird von einem anderen Programm benutzt: %2.\r"
                            "Abhilfe: dieses Programm beenden."))
                         .arg(device, holder);
      } else {
        text = QString::fromStdString(
                   Tr("Port",
                      "Keine Berechtigung für %1.\rAbhilfe: den Benutzer in die Gruppe dialout "
                      "aufnehmen (sudo usermod -aG dialout $USER, danach neu anmelden)."))
                   .arg(device);
      }
      break;
    case QSerialPort::DeviceNotFoundError:
      text = QString::fromStdString(Tr("Port", "Der Port %1 wurde nicht gefunden.")).arg(device);
      break;
    case QSerialPort::OpenError:
      text = QString::fromStdString(Tr("Port", "Der Port %1 ist bereits geöffnet oder belegt."))
                 .arg(device);
      break;
    default:
      text = QString::fromStdString(Tr("Port", "Der Port %1 kann nicht geöffnet werden.\r(%2)"))
                 .arg(device, ErrorText(error));
      break;
  }
  return text.toStdString();
}

bool QtSerialPort::Open() {
  if (!nameValid_) return false;  // the port name's error stands
  if (port_.isOpen()) return true;
  lost_ = false;
  failure_ = PortFailure::None;
  if (!port_.open(QIODevice::ReadWrite)) {
    const QSerialPort::SerialPortError e = port_.error();
    port_.clearError();
    // The system reports a port held by another program (a lock, exclusive use)
    // as a permission error; one that this user may open at all is busy.
    const bool busy = e == QSerialPort::PermissionError &&
                      ::access(device_.toLocal8Bit().constData(), R_OK | W_OK) == 0;
    error_ = OpenErrorText(e, device_, busy, busy ? PortHolder(device_) : QString());
    failure_ = FailureOf(e, busy);
    return false;
  }
  // One device, one program: the lock is on the device itself, so it holds
  // whatever name (a symbolic link, the device's own) the other program used,
  // and for root too, whom the exclusive mode of a terminal does not stop.
  int locked = ::flock(port_.handle(), LOCK_EX | LOCK_NB);
  if (locked != 0 && errno == EINTR) locked = ::flock(port_.handle(), LOCK_EX | LOCK_NB);
  if (locked != 0 && errno == EWOULDBLOCK) {
    port_.close();
    port_.clearError();
    error_ = OpenErrorText(QSerialPort::PermissionError, device_, true, PortHolder(device_));
    failure_ = PortFailure::InUse;
    return false;
  }
  // Modem lines as chosen; a port without them (a pseudo-terminal) is fine.
  if (!port_.setDataTerminalReady(dtr_) || !port_.setRequestToSend(rts_)) port_.clearError();
  port_.clear();
  return true;
}

void QtSerialPort::Close() {
  lost_ = false;
  if (port_.isOpen()) port_.close();
}

bool QtSerialPort::SetBreak(bool on) {
  if (!port_.setBreakEnabled(on)) return FailWithPortError();
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
