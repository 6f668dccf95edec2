<?xml version="1.0" ?>
<HEADER_INFO xmlns="http://schemas.orbiscan.invalid/header"
	xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
	xsi:schemaLocation="http://schemas.orbiscan.invalid/header
	http://schemas.orbiscan.invalid/header/OrbiscanHeaderSchema_version_1.0.xsd">
   <RasterInfo>
      <NrOfLinesPerImage>100</NrOfLinesPerImage>
      <NrOfPixelsPerLine>200</NrOfPixelsPerLine>
      <NrOfChannels>2</NrOfChannels>
      <CellType>FLOAT</CellType>
      <BandName>
         <VectorString NumberOfElements = "2">
            <ValueString ID = "0">VV&lt;1&gt;</ValueString>
            <ValueString ID = "1"></ValueString>
         </VectorString>
      </BandName>
      <OtherInfo>
         <MatrixString NumberOfRows = "2" NumberOfColumns = "2">
            <MatrixRowString ID = "0">
               <ValueString ID = "0">ORIGIN DATA</ValueString>
               <ValueString ID = "1">S1A</ValueString>
            </MatrixRowString>
            <MatrixRowString ID = "1">
               <ValueString ID = "0">SOFTWARE</ValueString>
               <ValueString ID = "1">5.5.2.1:L64</ValueString>
            </MatrixRowString>
         </MatrixString>
      </OtherInfo>
   </RasterInfo>
   <RegistrationCoordinates>
      <LatNorthing>45.5</LatNorthing>
      <PixelSpacingLatNorth>0.100000000000000005551115123126</PixelSpacingLatNorth>
      <pixels_latitude>
         <VectorDouble NumberOfElements = "3">
            <ValueDouble ID = "0">1.5</ValueDouble>
            <ValueDouble ID = "1">USER_PARAMETER_TO_FILL</ValueDouble>
            <ValueDouble ID = "2">NaN</ValueDouble>
         </VectorDouble>
      </pixels_latitude>
   </RegistrationCoordinates>
   <Sensor>
      <SensorName>A &amp; B&apos;s &quot;x&quot;</SensorName>
      <Mode>&quot;&quot;</Mode>
      <Counts>
         <MatrixInteger NumberOfRows = "2" NumberOfColumns = "2">
            <MatrixRowInteger ID = "0">
               <ValueInteger ID = "0">1</ValueInteger>
               <ValueInteger ID = "1">-999988887</ValueInteger>
            </MatrixRowInteger>
            <MatrixRowInteger ID = "1">
               <ValueInteger ID = "0">3</ValueInteger>
               <ValueInteger ID = "1">4</ValueInteger>
            </MatrixRowInteger>
         </MatrixInteger>
      </Counts>
      <Pair>
         <Struct_Pair NumberOfFields = "2">
            <first>7</first>
            <second>-999988887</second>
         </Struct_Pair>
      </Pair>
      <Track>
         <VectorOfStructs_Track NumberOfElements = "2" NumberOfFields = "2">
            <VectorOfStructsValues_Track ID = "0">
               <lat>1.25</lat>
               <lon>-3</lon>
            </VectorOfStructsValues_Track>
            <VectorOfStructsValues_Track ID = "1">
               <lat>2.5</lat>
               <lon>4.75</lon>
            </VectorOfStructsValues_Track>
         </VectorOfStructs_Track>
      </Track>
   </Sensor>
</HEADER_INFO>
