#pragma once

#include "i18n/CatalogId.h"
#include "protocol/CommandConnection.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

struct CommandEvent;
struct ExchangeResult;

// PUT: one file into one store of one projector, and the projector's verdict.
namespace UploadResult {
inline constexpr int Ok = 0;
inline constexpr int FileUnreadable = -1; // also: the greeting read failed (connection -1)
inline constexpr int FileEmpty = -2;
inline constexpr int SendFailed = -7;
inline constexpr int NoReply = -8;
inline constexpr int ReadFailed = -9;
inline constexpr int Reply1 = -10;
inline constexpr int Reply2 = -11;
inline constexpr int Reply3 = -12;
inline constexpr int Reply9 = -13;
inline constexpr int OtherReply = -14;
inline constexpr int WaitFailed = -15;
inline constexpr int Stopped = -16; // the caller's stop flag abandoned the upload
} // namespace UploadResult

namespace ImageUpload {

inline constexpr int kMaxBaseName = 249;         // what the 256-byte "PUT" line holds
inline constexpr qint64 kMaxFileSize = 64 << 20; // the whole file travels in memory

// The name the projector stores: the part after the last separator. Backslash is the
// separator of the original paths; on this platform the slash is one too.
QString baseName(const QString& path);

// "PUT name\r\nFile-Length:n\r\nSave-ID:s\r\n\r\n"
QByteArray header(const QByteArray& baseName, qint64 length, int storeNumber);

// What the user is told about an upload result.
struct ResultText final {
    CatalogId id;
    QStringList inserts;
};
ResultText textFor(int uploadResult);

// Ok, or why this name and file cannot go out at all (FileEmpty, FileUnreadable).
int checkSendable(const QByteArray& name, qint64 length);
// The result code of a PUT exchange that ended so (a stop aside, which the caller judges).
int resultOf(const ExchangeResult& exchange);
// What the command history is told of an upload that ended with this code.
void describe(int uploadResult, CommandEvent& event);

enum class Phase { Connecting, Sent, Waiting, Done };
// Progress on the uploading thread: the phase and, while waiting, the seconds waited.
using Progress = std::function<void(Phase phase, int stepsWaited)>;
// Bytes of the command block out so far, of its total, on the uploading thread.
using SentBytes = std::function<void(qint64 sent, qint64 total)>;

} // namespace ImageUpload

// Reads the whole file before anything goes out: a file that cannot be read whole is not
// sent, so no zeros ever stand in for its bytes. Returns a code of UploadResult or a
// connection code (-101, -102, -103, -105). Runs on any thread. When context.stop is raised
// the upload is abandoned where it stands and Stopped is returned, whatever the projector did.
int UploadImage(const QString& path, int storeNumber, const CommandTarget& target,
                const CommandContext& context = {}, const ImageUpload::Progress& progress = {});

// The same with the file already in memory (read once for many projectors): name is the
// name the projector stores. When sentBytes is given the block goes out in pieces and it
// hears of each one.
int UploadImageData(const QByteArray& name, const QByteArray& content, int storeNumber,
                    const CommandTarget& target, const CommandContext& context = {},
                    const ImageUpload::Progress& progress = {}, const ImageUpload::SentBytes& sentBytes = {});
