// A Qt image-format plugin planted where a program might search for plugins: it claims PNG,
// so writing a PNG picture loads it, and loading it leaves its mark.
#include "canary.h"

#include <QImageIOPlugin>

#include <fcntl.h>
#include <unistd.h>

namespace {
struct Mark {
    Mark() {
        const char line[] = "image plugin loaded\n";
        const int fd = ::open(CanaryFile(), O_WRONLY | O_CREAT | O_APPEND, 0666);
        if (fd >= 0) {
            if (::write(fd, line, sizeof line - 1) < 0) {
            }
            ::close(fd);
        }
    }
} g_mark;
} // namespace

class CanaryImagePlugin : public QImageIOPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QImageIOHandlerFactoryInterface_iid FILE "canaryplugin.json")

public:
    Capabilities capabilities(QIODevice*, const QByteArray&) const override { return {}; }
    QImageIOHandler* create(QIODevice*, const QByteArray& = QByteArray()) const override {
        return nullptr;
    }
};

#include "canaryplugin.moc"
