Satış formu, paketin tasarımı.
