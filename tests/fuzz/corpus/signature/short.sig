om-sig-1 AAAA
