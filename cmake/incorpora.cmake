# Writes a C++ source that holds a file's bytes, for a program that carries
# the file in itself:
#   cmake -DENTRATA=FILE -DUSCITA=FILE.cc -DINTESTAZIONE=HEADER -DFUNZIONE=NAME -P incorpora.cmake
# The source defines `std::string_view NAME()` as declared in HEADER.
file(READ "${ENTRATA}" esadecimale HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," byte "${esadecimale}")
# Lines of 16 bytes.
string(REGEX REPLACE "((0x..,){16})" "\\1\n" byte "${byte}")
get_filename_component(nome "${ENTRATA}" NAME)
file(WRITE "${USCITA}.nuovo"
  "// Written by cmake/incorpora.cmake from ${nome}: do not edit.\n"
  "#include \"${INTESTAZIONE}\"\n\n"
  "namespace {\nconst unsigned char byte_file[] = {\n${byte}\n};\n}  // namespace\n\n"
  "std::string_view ${FUNZIONE}() {\n"
  "  return {reinterpret_cast<const char*>(byte_file), sizeof byte_file};\n}\n")
# Only a changed file is replaced, so that nothing after it is rebuilt for nothing.
file(COPY_FILE "${USCITA}.nuovo" "${USCITA}" ONLY_IF_DIFFERENT)
file(REMOVE "${USCITA}.nuovo")
