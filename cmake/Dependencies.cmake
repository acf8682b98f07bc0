# Third-party libraries, all from Debian's package archive (scripts/install-deps.sh).
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(ZLIB REQUIRED)
find_package(OpenSSL REQUIRED)
find_package(JPEG REQUIRED)
find_package(PNG REQUIRED)
find_package(GIF REQUIRED)
find_package(TIFF REQUIRED)
find_package(CURL REQUIRED)
find_package(SQLite3 REQUIRED)
find_package(ODBC REQUIRED)
find_package(nlohmann_json REQUIRED)
find_package(Fontconfig REQUIRED)
pkg_check_modules(PCRE2 REQUIRED IMPORTED_TARGET libpcre2-8)
pkg_check_modules(UTF8PROC REQUIRED IMPORTED_TARGET libutf8proc)
# FriBidi orders the characters of a printed line (Unicode bidirectional algorithm).
pkg_check_modules(FRIBIDI REQUIRED IMPORTED_TARGET fribidi)
# HarfBuzz shapes right-to-left runs (joining forms, ligatures, mirrored brackets) and
# cuts the embedded fonts down to the glyphs a document shows.
pkg_check_modules(HARFBUZZ REQUIRED IMPORTED_TARGET harfbuzz)
pkg_check_modules(HARFBUZZ_SUBSET REQUIRED IMPORTED_TARGET harfbuzz-subset)
# libdeflate compresses the PDF streams: whole buffers, faster than zlib for a smaller result.
pkg_check_modules(LIBDEFLATE REQUIRED IMPORTED_TARGET libdeflate)
# libxml2 checks well-formedness of the generated invoice XML in the tests only.
find_package(LibXml2 REQUIRED)

# stb_image (BMP decoding) is header-only in Debian's libstb-dev.
find_path(STB_INCLUDE_DIR stb/stb_image.h REQUIRED)

set(VELKARO_PLATFORM_LIBS PkgConfig::PCRE2 PkgConfig::UTF8PROC PkgConfig::FRIBIDI OpenSSL::Crypto Threads::Threads)
set(VELKARO_MEDIA_LIBS Fontconfig::Fontconfig JPEG::JPEG PNG::PNG GIF::GIF TIFF::TIFF)
set(VELKARO_CONFIG_LIBS)
set(VELKARO_ERP_LIBS SQLite::SQLite3 ODBC::ODBC)
set(VELKARO_PDF_LIBS PkgConfig::LIBDEFLATE OpenSSL::Crypto PkgConfig::HARFBUZZ PkgConfig::HARFBUZZ_SUBSET)
set(VELKARO_MAIL_LIBS CURL::libcurl nlohmann_json::nlohmann_json)
set(VELKARO_TEST_CII_LIBS LibXml2::LibXml2)
