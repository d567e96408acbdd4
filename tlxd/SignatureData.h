// The signature's trajectory file as JSON: {width, height, strokes: [[{x, y,
// time, pressure}, ...], ...]}.
#ifndef TLXD_SIGNATUREDATA_H
#define TLXD_SIGNATUREDATA_H

#include <QByteArray>
#include <QJsonValue>

namespace tlxd {

// The structure, or null when the file is no trajectory.
QJsonValue TrajectoryJson(const QByteArray& xml);

}  // namespace tlxd

#endif
