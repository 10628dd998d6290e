const char q = '"';
const char *a = "say \"hi\"";
const char *m = material("src_quoted");
