#include "core/SettingsStore.h"

#include "core/AppError.h"
#include "core/Conversions.h"
#include "core/MessageBox.h"
#include "platform/PrivateFiles.h"
#include "core/SecretStore.h"

#include <QSettings>
#include <QStandardPaths>
#include <QStringList>

#include <memory>

namespace {

const QString ApplicationName = QStringLiteral("Tervane");
const QString SectionName = QStringLiteral("Quorvale");
const QString PasswordKey = QStringLiteral("Password");
const QString RememberMeKey = QStringLiteral("StayConnected");

bool isPasswordKey(const QString &key)
{
    return key.compare(PasswordKey, Qt::CaseInsensitive) == 0;
}

// A fresh QSettings per call: it re-reads the file when it changed since the last look, which
// is what makes an outside edit visible to the next read.
std::unique_ptr<QSettings> openSection()
{
    auto settings = std::make_unique<QSettings>(settingsFilePath(), QSettings::IniFormat);
    settings->beginGroup(SectionName);
    return settings;
}

QString textOf(const QVariant &value)
{
    // A value edited by hand as `a, b` reads back from an INI file as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void commit(QSettings &settings, const QString &key)
{
    settings.sync();
    switch (settings.status()) {
    case QSettings::NoError:
        return;
    case QSettings::FormatError:
        throw AppError(QStringLiteral("Cannot save the setting \"%1\": %2 is not a readable "
                                      "settings file.")
                           .arg(key, settingsFilePath()));
    case QSettings::AccessError:
        break;
    }
    throw AppError(QStringLiteral("Cannot save the setting \"%1\": the settings file %2 could "
                                  "not be written.")
                       .arg(key, settingsFilePath()));
}

// "Remember me": a non-zero whole number. Anything else keeps the password out of every store.
bool rememberMe()
{
    try {
        return toInteger(getSetting(RememberMeKey, QStringLiteral("0"))) != 0;
    } catch (const AppError &) {
        return false;
    }
}

// Moves a plain password an earlier version wrote into the file to the secret store, and
// erases it from the file in any case.
void migratePlainPassword()
{
    auto settings = openSection();
    if (!settings->contains(PasswordKey))
        return;
    const QString plain = textOf(settings->value(PasswordKey));
    if (!plain.isEmpty() && rememberMe())
        secretstore::writePassword(plain);
    settings->remove(PasswordKey);
    commit(*settings, PasswordKey);
}

// A delete of the remembered password that the secret store did not carry out (it refused, or
// did not answer in time) is noted in the file, outside the program's section, and tried again
// at every later save and every read of the password (start-up reads it) until it succeeds.
const QString PendingDeleteKey = QStringLiteral("SecretStore/PasswordDeletePending");

bool passwordDeletePending()
{
    return QSettings(settingsFilePath(), QSettings::IniFormat).value(PendingDeleteKey).toBool();
}

void setPasswordDeletePending(bool pending)
{
    QSettings settings(settingsFilePath(), QSettings::IniFormat);
    if (pending)
        settings.setValue(PendingDeleteKey, true);
    else
        settings.remove(PendingDeleteKey);
    commit(settings, PendingDeleteKey);
}

// Deletes the remembered password. A delete that fails is kept for later, and the user is told
// once: a password they asked to forget must not stay behind silently.
void forgetPassword()
{
    const bool wasPending = passwordDeletePending();
    if (secretstore::deletePassword()) {
        if (wasPending)
            setPasswordDeletePending(false);
        return;
    }
    if (wasPending)
        return;
    setPasswordDeletePending(true);
    showMessage(QStringLiteral("Your password could not be removed from the secret store yet. "
                               "It will be removed the next time a setting is saved, or at the "
                               "next start."));
}

void retryPendingPasswordDelete()
{
    if (passwordDeletePending())
        forgetPassword();
}

void rememberPassword(const QString &password)
{
    // A password remembered anew replaces whatever an earlier delete was meant to remove.
    if (secretstore::writePassword(password) && passwordDeletePending())
        setPasswordDeletePending(false);
}

}  // namespace

QString settingsFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QLatin1Char('/') + ApplicationName + QLatin1Char('/') + ApplicationName
        + QStringLiteral(".conf");
}

QString getSetting(const QString &key, const QString &defaultValue)
{
    if (isPasswordKey(key)) {
        migratePlainPassword();
        retryPendingPasswordDelete();
        if (passwordDeletePending())
            return defaultValue;  // asked to be forgotten: never handed back
        const QString password = secretstore::readPassword();
        return password.isEmpty() ? defaultValue : password;
    }
    auto settings = openSection();
    const QVariant value = settings->value(key);
    return value.isValid() ? textOf(value) : defaultValue;
}

void saveSetting(const QString &key, const QString &value)
{
    if (key.isEmpty())
        apperror::throwInvalidArgument();
    retryPendingPasswordDelete();
    if (isPasswordKey(key)) {
        migratePlainPassword();
        if (rememberMe() && !value.isEmpty())
            rememberPassword(value);
        else
            forgetPassword();
        return;
    }
    // QSettings writes through a new file that keeps the old one's permissions, so the file
    // is made private before its first write.
    preparePrivateFile(settingsFilePath());
    auto settings = openSection();
    settings->setValue(key, value);
    commit(*settings, key);
}
