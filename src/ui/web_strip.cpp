#include "ui/web_strip.h"

#include <QCoreApplication>
#include <QPluginLoader>

#include "ui/install_paths.h"

namespace tk {

WebStripFactory* LoadWebStripModule(QString* error) {
    static QPluginLoader* loader = nullptr;
    if (loader == nullptr) {
        loader = new QPluginLoader(PrivateComponentPath(QStringLiteral("tk_webstrip.so")));
        loader->setLoadHints(QLibrary::PreventUnloadHint);
    }
    QObject* instance = loader->instance();
    if (instance == nullptr) {
        if (error) *error = loader->errorString();
        return nullptr;
    }
    return qobject_cast<WebStripFactory*>(instance);
}

}  // namespace tk
