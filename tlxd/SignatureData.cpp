#include "SignatureData.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QXmlStreamReader>

namespace tlxd {

QJsonValue TrajectoryJson(const QByteArray& xml) {
  QXmlStreamReader r(xml);
  QJsonObject signature;
  QJsonArray strokes, stroke;
  bool inStroke = false, seen = false;
  while (!r.atEnd()) {
    r.readNext();
    if (r.isStartElement()) {
      const auto a = r.attributes();
      if (r.name() == QLatin1String("signature")) {
        seen = true;
        signature["width"] = a.value("width").toInt();
        signature["height"] = a.value("height").toInt();
      } else if (r.name() == QLatin1String("stroke")) {
        inStroke = true;
        stroke = QJsonArray();
      } else if (r.name() == QLatin1String("point") && inStroke) {
        QJsonObject p;
        p["x"] = a.value("x").toInt();
        p["y"] = a.value("y").toInt();
        p["time"] = a.value("time").toDouble();
        p["pressure"] = a.value("pressure").toInt();
        stroke.append(p);
      }
    } else if (r.isEndElement() && r.name() == QLatin1String("stroke")) {
      strokes.append(stroke);
      inStroke = false;
    }
  }
  if (r.hasError() || !seen) return QJsonValue();
  signature["strokes"] = strokes;
  return signature;
}

}  // namespace tlxd
