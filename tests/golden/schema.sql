show table F_ROBA;
show table F_POR_STOPE;
show table F_OBJEKAT;
show table F_OPERATERI;
show table F_GRUPE_ROBA;
show table STOPE;
show table PORESKESTOPE;
show index;
