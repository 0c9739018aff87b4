# Writes the page's service worker, OUT, from TEMPLATE: the list of the page's
# files (FILES, names in PAGE_DIR joined by commas) and the name under which it keeps them, made from
# their names and content alone, so that the same files give the same bytes.
#   cmake -DPAGE_DIR=... -DFILES=a,b -DTEMPLATE=... -DOUT=... -P make_service_worker.cmake
string(REPLACE "," ";" FILES "${FILES}")
set(listing "")
set(PAGE_FILES "")
foreach(name IN LISTS FILES)
  file(SHA256 ${PAGE_DIR}/${name} sum)
  string(APPEND listing "${sum}  ${name}\n")
  list(APPEND PAGE_FILES "'${name}'")
endforeach()
string(SHA256 digest "${listing}")
string(SUBSTRING ${digest} 0 16 PAGE_DIGEST)
list(JOIN PAGE_FILES ", " PAGE_FILES)
configure_file(${TEMPLATE} ${OUT} @ONLY)
