// A setting's bytes as an edit shows them, and back.
#include "app/settingtext.h"
#include "support/testmain.h"

#include <QtTest>

class SettingTextTest : public QObject {
    Q_OBJECT
private slots:
    void bytesComeBackExactly_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown");
        QTest::newRow("UTF-8") << QByteArray("/j\xC3\xBCrgen") << QStringLiteral("/j\u00FCrgen");
        QTest::newRow("not UTF-8") << QByteArray("/j\xFCrgen") << QString::fromUtf16(u"/j\xDCFC" "rgen");
        QTest::newRow("controls") << QByteArray("a\nb\0c\x7F", 6) << QStringLiteral("a\u21B5b\u2400c\u2421");
        // The symbols themselves must not come back as control characters.
        QTest::newRow("return arrow") << QByteArray("a\xE2\x86\xB5") << QString::fromUtf16(u"a\xDCE2\xDC86\xDCB5");
        QTest::newRow("control picture") << QByteArray("\xE2\x90\x80") << QString::fromUtf16(u"\xDCE2\xDC90\xDC80");
    }

    void bytesComeBackExactly()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        QCOMPARE(ShownFromBytes(bytes.toStdString()), shown);
        QCOMPARE(QByteArray::fromStdString(BytesFromShown(shown)), bytes);
    }
};

QUIMBREL_TEST_MAIN(SettingTextTest)
#include "settingtext_test.moc"
