#include "app/qt/settings_file.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include "app/file_scene.h"
#include "app/program.h"
#include "app/qt/main_frame.h"
#include "app/stored_settings.h"

namespace lumo {

namespace {
// Bumped when the meaning of a stored value changes; a file of another version is not read.
constexpr int kFormat = 1;
}  // namespace

QString defaultSettingsPath() {
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)).filePath("lumo/lumo.ini");
}

bool loadSettings(const QString& path, MainFrame& window) {
    QSettings file(path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError || file.value("format").toInt() != kFormat) return false;
    Program& program = window.program();
    window.renderLoop().edit([&] {
        file.beginGroup("choices");
        for (const auto& [key, unused] : storedSettings(program.shared.settings)) {
            bool ok = false;
            const int value = file.value(QString::fromStdString(key)).toInt(&ok);
            if (ok) applyStoredSetting(program, key, value);
        }
        file.endGroup();
    });
    std::vector<std::string>& recent = program.ui.recentScenes;
    recent.clear();
    for (const QString& path : file.value("recent/scenes").toStringList())
        if (!path.isEmpty() && recent.size() < kRecentScenes) recent.push_back(QFile::encodeName(path).toStdString());
    const QByteArray geometry = file.value("window/geometry").toByteArray();
    return !geometry.isEmpty() && window.restoreGeometry(geometry);
}

void saveSettings(const QString& path, MainFrame& window) {
    QSettings file(path, QSettings::IniFormat);
    file.clear();
    file.setValue("format", kFormat);
    std::vector<std::pair<std::string, int>> values;
    {
        Program& program = window.program();
        std::lock_guard<std::mutex> lock(program.mutex);
        values = storedSettings(program.shared.settings);
    }
    file.beginGroup("choices");
    for (const auto& [key, value] : values) file.setValue(QString::fromStdString(key), value);
    file.endGroup();
    QStringList recent;
    for (const std::string& path : window.program().ui.recentScenes) recent << QFile::decodeName(QByteArray::fromStdString(path));
    file.setValue("recent/scenes", recent);
    file.setValue("window/geometry", window.normalGeometry());
    file.sync();
}

}  // namespace lumo
