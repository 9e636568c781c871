// What the preview hands the web engine, without starting it: the files and names a movie is
// served by (hidden names like ".intro.swf" included), and the engine's command-line flags.
#include <QtTest>

#ifdef TONVELA_HAVE_PREVIEW
#include "ui/webengine/QuietEngine.h"
#include "ui/webengine/ServedMovie.h"
#endif

using namespace tonvela;

class WebEngineSetupTest : public QObject {
    Q_OBJECT

private slots:
#ifdef TONVELA_HAVE_PREVIEW
    void servedMovie_data() {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("urlName");  // the movie's name in its URL
        QTest::addColumn<QByteArray>("urlQuery");
        QTest::addColumn<QStringList>("served");  // "name=path", sorted
        QTest::newRow("plain") << QByteArray("/m/intro.swf") << QByteArray() << QByteArray("intro.swf") << QByteArray()
                               << QStringList{"intro.swf=/m/intro.swf"};
        QTest::newRow("hidden movie") << QByteArray("/m/.intro.swf") << QByteArray() << QByteArray(".movie.swf")
                                      << QByteArray() << QStringList{".movie.swf=/m/.intro.swf"};
        QTest::newRow("hidden shell-player pair")
            << QByteArray("/m/.intro.player.swf") << QByteArray("soundswf=.intro.swf&autoplay=1")
            << QByteArray(".movie.swf") << QByteArray("soundswf=.sound.swf&autoplay=1")
            << QStringList{".movie.swf=/m/.intro.player.swf", ".sound.swf=/m/.intro.swf"};
        // Only a file beside the player is ever served.
        QTest::newRow("sound outside the folder")
            << QByteArray("/m/p.swf") << QByteArray("soundswf=..%2Fsecret.swf&x=1") << QByteArray("p.swf")
            << QByteArray("soundswf=..%2Fsecret.swf&x=1") << QStringList{"p.swf=/m/p.swf"};
    }
    void servedMovie() {
        QFETCH(QByteArray, path);
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, urlName);
        QFETCH(QByteArray, urlQuery);
        QFETCH(QStringList, served);
        const ServedMovie m = ServeMovie(path, query);
        QCOMPARE(m.movieName, urlName);
        QCOMPARE(m.query, urlQuery);
        QStringList files;
        for (auto it = m.files.cbegin(); it != m.files.cend(); ++it)
            files << QString::fromUtf8(it.key() + '=' + it.value());
        files.sort();
        QCOMPARE(files, served);
    }

    void chromiumFlags_data() {
        QTest::addColumn<QByteArray>("user");
        QTest::addColumn<QByteArray>("flags");
        QTest::newRow("none") << QByteArray() << QByteArray("--log-level=3");
        QTest::newRow("the user's own kept")
            << QByteArray("--autoplay-policy=no-user-gesture-required ")
            << QByteArray("--autoplay-policy=no-user-gesture-required --log-level=3");
        QTest::newRow("the user's level wins") << QByteArray("--log-level=0 --foo") << QByteArray("--log-level=0 --foo");
    }
    void chromiumFlags() {
        QFETCH(QByteArray, user);
        QFETCH(QByteArray, flags);
        QCOMPARE(QuietChromiumFlags(user), flags);
    }
#else
    void withoutPreview() { QSKIP("built without the preview"); }
#endif
};

QTEST_MAIN(WebEngineSetupTest)
#include "WebEngineSetupTest.moc"
