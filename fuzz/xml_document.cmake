# XML documents: any bytes parse; what parses saves and parses back into the same tree.
tarvix_fuzz_target(xml_document SOURCES xml_document_fuzz.cc LIBS xmldoc)
